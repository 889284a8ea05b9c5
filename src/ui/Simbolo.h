#pragma once

#include <QColor>
#include <QIcon>
#include <QString>

namespace sonarel {

// One of the application's line symbols ("mic.fill", "trash"…) drawn in `color`, sharp at every
// size and device pixel ratio. An unknown name gives a null icon.
QIcon simbolo(const QString& nombre, const QColor& color);

}  // namespace sonarel
