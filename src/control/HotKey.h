#pragma once

#include "control/Combinacion.h"
#include "platform/HotKeyService.h"

#include <QObject>

#include <cstdint>
#include <functional>
#include <memory>

namespace sonarel {

// The one system-wide shortcut, Alt+Super+D by default. Each press, whatever
// application is in front, runs `action` once, later, on the main thread.
class HotKey : public QObject {
    Q_OBJECT

public:
    static constexpr std::uint32_t kDefaultKeyCode = 2;  // D
    static constexpr Modifiers kDefaultModifiers = Modifier::Alt | Modifier::Super;

    explicit HotKey(HotKeyService& service, QObject* parent = nullptr);

    // The application's signature, 'DICT'.
    static std::uint32_t firma();

    // Releases any earlier combination, then reserves this one. A combination that another
    // client holds is not reserved: presses never arrive, and `isRegistered()` says so.
    void registerHotKey(std::uint32_t keyCode = kDefaultKeyCode,
                        Modifiers modifiers = kDefaultModifiers);
    void unregister();
    bool isRegistered() const { return ref_ != nullptr; }
    // The combination last asked for, reserved or not.
    Combinacion combinacion() const { return combinacion_; }

    // What a press runs; read when the press is handled, not when the key goes down.
    std::function<void()> action;
    // What the release of the keys runs, in the same way, where the desktop reports it.
    std::function<void()> alSoltar;

private:
    void handlePress(HotKeyID id, bool soltada);

    HotKeyService& service_;
    std::unique_ptr<HotKeyRegistration> ref_;
    bool instalado_ = false;
    Combinacion combinacion_;
};

}  // namespace sonarel
