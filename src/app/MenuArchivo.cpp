#include "app/MenuArchivo.h"

#include <QAction>
#include <QMenu>

namespace sonarel {

MenuArchivo::MenuArchivo(QMenu& menu, SpeechEngine& motor, Archivador& archivador,
                         std::function<void()> abrirCarpetaDeDictados)
    : QObject(&menu),
      motor_(motor),
      dictar_(menu.addAction(QString())),
      borrar_(menu.addAction(QStringLiteral("Borrar texto"))),
      carpeta_(menu.addAction(QStringLiteral("Abrir carpeta de dictados"))) {
    connect(dictar_, &QAction::triggered, this, [this] { motor_.toggle(); });
    connect(borrar_, &QAction::triggered, this, [&archivador] { archivador.guardarYBorrar(); });
    connect(carpeta_, &QAction::triggered, this, std::move(abrirCarpetaDeDictados));
    connect(&motor_, &SpeechEngine::statusChanged, this, &MenuArchivo::actualizar);
    connect(&motor_, &SpeechEngine::textChanged, this, &MenuArchivo::actualizar);
    actualizar();
}

void MenuArchivo::actualizar() {
    dictar_->setText(motor_.isListening() ? QStringLiteral("Detener dictado")
                                          : QStringLiteral("Empezar a dictar"));
    borrar_->setEnabled(!motor_.text().isEmpty());
}

}  // namespace sonarel
