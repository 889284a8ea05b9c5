#include "ui/DialogoGuardar.h"

#include <QDir>
#include <QFileDialog>
#include <QStandardPaths>

namespace sonarel {

QString elegirArchivoDeTexto(QWidget* parent, const QString& nombrePropuesto) {
    QString carpeta = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
    if (!QDir(carpeta).exists()) {
        carpeta = QDir::homePath();
    }
    QFileDialog dialogo(parent, QStringLiteral("Guardar como archivo de texto"), carpeta);
    dialogo.setAcceptMode(QFileDialog::AcceptSave);
    dialogo.setMimeTypeFilters({QStringLiteral("text/plain")});
    dialogo.setDefaultSuffix(QStringLiteral("txt"));
    dialogo.selectFile(nombrePropuesto);
    if (dialogo.exec() != QDialog::Accepted || dialogo.selectedFiles().isEmpty()) {
        return {};
    }
    return dialogo.selectedFiles().constFirst();
}

}  // namespace sonarel
