#pragma once

#include <QString>

#include <optional>

namespace sonarel {

// Starting with the session: an XDG autostart entry (`sonarel.desktop` in the user's
// `$XDG_CONFIG_HOME/autostart`) that starts Sonarel hidden in the tray, so that the shortcut
// works after login without a window. The entry on disk is the setting itself.
namespace inicio_con_sesion {

QString rutaDeLaEntrada();
bool activo();
// Writes or removes the entry; the reason, in a sentence for the user, when it could not.
std::optional<QString> activar(bool activo);
// The command line the entry runs: this program, hidden.
QString ordenOculta();

}  // namespace inicio_con_sesion
}  // namespace sonarel
