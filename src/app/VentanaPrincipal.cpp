#include "app/VentanaPrincipal.h"

#include <QMenuBar>

namespace sonarel {

VentanaPrincipal::VentanaPrincipal(SpeechEngine& motor, ContentView::Servicios servicios,
                                   std::function<void()> abrirCarpetaDeDictados,
                                   std::function<void()> salir)
    : contenido_(new ContentView(motor, std::move(servicios), this)) {
    setWindowTitle(QStringLiteral("Sonarel"));
    setObjectName(QStringLiteral("principal"));
    setCentralWidget(contenido_);

    QMenu* archivo = menuBar()->addMenu(QStringLiteral("&Archivo"));
    menuArchivo_ =
        new MenuArchivo(*archivo, motor, servicios.archivador, std::move(abrirCarpetaDeDictados));
    archivo->addSeparator();
    archivo->addAction(QStringLiteral("Cerrar ventana"), QKeySequence::Close, this,
                       &QWidget::close);
    archivo->addAction(QStringLiteral("Salir de Sonarel"), QKeySequence::Quit, this,
                       std::move(salir));
    resize(720, 540 + menuBar()->sizeHint().height());
}

void VentanaPrincipal::mostrar() {
    if (isMinimized()) {
        showNormal();
    } else {
        show();
    }
    raise();
    activateWindow();
}

}  // namespace sonarel
