#pragma once

#include <QString>

#include <optional>

namespace sonarel {

// The custom shortcut by which GNOME runs `sonarel --alternar` for Alt+Super+D, among the user's
// custom keybindings of GNOME's settings daemon (through the gsettings tool): GNOME before 48 lets
// no application reserve a shortcut of its own.
namespace atajo_de_gnome {

inline constexpr auto kEsquema = "org.gnome.settings-daemon.plugins.media-keys";
inline constexpr auto kRuta =
    "/org/gnome/settings-daemon/plugins/media-keys/custom-keybindings/sonarel/";
inline constexpr auto kTeclas = "<Alt><Super>d";

// Whether this is a GNOME session whose settings take custom keybindings.
bool disponible();
// Whether the shortcut is among the custom keybindings, with its keys.
bool anadido();
// Adds the shortcut running `orden`, or renews it, keeping the user's other custom shortcuts.
// The reason, in a sentence for the user, when it could not.
std::optional<QString> anadir(const QString& orden);
// The command line that toggles the dictation of this program, as the desktop should run it.
QString ordenAlternar();

}  // namespace atajo_de_gnome
}  // namespace sonarel
