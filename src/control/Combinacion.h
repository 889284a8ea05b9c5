#pragma once

#include "platform/Modifiers.h"

#include <QString>

#include <cstdint>
#include <optional>

namespace sonarel {

// A shortcut's keys: a virtual key code (the key's place on the US layout, 2 is D) and its
// modifiers. Written as a Linux keyboard shows it: "Alt+Super+D".
struct Combinacion {
    std::uint32_t tecla = 2;  // D
    Modifiers modificadores = Modifier::Alt | Modifier::Super;

    // Modifiers first, in the order Ctrl, Alt, Shift, Super (as Qt and KDE write them), then
    // the key's cap.
    QString texto() const;
    // The key's Qt key code (its unshifted character for a printable key); 0 for a virtual key
    // code that names no key.
    int teclaQt() const;

    // The combination of a key pressed in a Qt window; none for a key that has no virtual key
    // code, or without Ctrl, Alt or Super, which would take a key from ordinary typing.
    static std::optional<Combinacion> deTeclaQt(int tecla, Qt::KeyboardModifiers modificadores);

    friend bool operator==(const Combinacion&, const Combinacion&) = default;
};

}  // namespace sonarel
