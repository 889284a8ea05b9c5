#pragma once

#include "control/Combinacion.h"

#include <QString>

#include <optional>

namespace sonarel {

// The custom shortcut by which GNOME runs `sonarel --alternar` for the user's combination, among
// the user's custom keybindings of GNOME's settings daemon (through the gsettings tool): GNOME
// before 48 lets no application reserve a shortcut of its own.
namespace atajo_de_gnome {

inline constexpr auto kEsquema = "org.gnome.settings-daemon.plugins.media-keys";
inline constexpr auto kRuta =
    "/org/gnome/settings-daemon/plugins/media-keys/custom-keybindings/sonarel/";

// The combination as GNOME's settings write a shortcut's keys: "<Alt><Super>d".
QString teclas(const Combinacion& atajo);
// Whether this is a GNOME session whose settings take custom keybindings.
bool disponible();
// Whether the shortcut is among the custom keybindings, bound to the keys of `atajo`.
bool anadido(const Combinacion& atajo);
// Adds the shortcut running `orden` for the keys of `atajo`, or renews it, keeping the user's other
// custom shortcuts. The reason, in a sentence for the user, when it could not.
std::optional<QString> anadir(const QString& orden, const Combinacion& atajo);
// The command line that toggles the dictation of this program, as the desktop should run it.
QString ordenAlternar();

}  // namespace atajo_de_gnome
}  // namespace sonarel
