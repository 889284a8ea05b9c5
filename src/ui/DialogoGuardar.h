#pragma once

#include <QString>

class QWidget;

namespace sonarel {

// Asks where to save a plain-text file, proposing `nombrePropuesto` in the user's documents
// folder. Answers the chosen path, or nothing when the user cancels.
QString elegirArchivoDeTexto(QWidget* parent, const QString& nombrePropuesto);

}  // namespace sonarel
