#pragma once

#include <QSet>
#include <QString>

namespace sonarel {

// Identifiers of the applications treated as terminals (terminal emulators and code editors),
// exactly as each announces itself. Membership is exact, case-sensitive.
const QSet<QString>& terminales();

// A text with its line breaks turned into spaces and its ends trimmed of tabs and spaces: CR LF
// and then LF become one space each; a lone CR stays.
QString lineaDeTerminal(const QString& texto);

}  // namespace sonarel
