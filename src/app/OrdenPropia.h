#pragma once

#include <QString>

namespace sonarel {

// The command line that runs this very program with `opcion`, as a desktop entry or a desktop's
// shortcut stores it: by its name where that is the installed program found on the PATH, else by
// its full path (run from a build folder).
QString ordenPropia(const QString& opcion);

}  // namespace sonarel
