#include "app/Bandeja.h"

#include "ui/Simbolo.h"
#include "ui/Tema.h"

namespace sonarel {

Bandeja::Bandeja(SpeechEngine& motor, Paster& paster, Comandos comandos, QObject* parent)
    : QObject(parent), motor_(motor) {
    dictar_ = menu_.addAction(QString());
    connect(dictar_, &QAction::triggered, this, comandos.alternarDesdeAtajo);
    copiar_ = menu_.addAction(QStringLiteral("Copiar texto"));
    connect(copiar_, &QAction::triggered, this, [this, &paster] { paster.copiar(motor_.text()); });
    terminal_ = menu_.addAction(QStringLiteral("Enviar a la Terminal"));
    // From here the text is never run: Return is the main window's choice only.
    connect(terminal_, &QAction::triggered, this,
            [this, &paster] { paster.enviarATerminal(motor_.text(), false); });
    menu_.addSeparator();
    connect(menu_.addAction(QStringLiteral("Abrir ventana")), &QAction::triggered, this,
            comandos.abrirVentana);
    connect(menu_.addAction(QStringLiteral("Carpeta de dictados")), &QAction::triggered, this,
            comandos.abrirCarpetaDeDictados);
    menu_.addSeparator();
    connect(menu_.addAction(QStringLiteral("Salir de Sonarel")), &QAction::triggered, this,
            comandos.salir);

    icono_.setContextMenu(&menu_);
    icono_.setToolTip(QStringLiteral("Sonarel"));
    // A left click opens the same menu, as a right click does.
    connect(&icono_, &QSystemTrayIcon::activated, this,
            [this](QSystemTrayIcon::ActivationReason razon) {
                if (razon == QSystemTrayIcon::Trigger) {
                    menu_.popup(QCursor::pos());
                }
            });
    connect(&motor_, &SpeechEngine::statusChanged, this, &Bandeja::actualizar);
    connect(&motor_, &SpeechEngine::textChanged, this, &Bandeja::actualizar);
    actualizar();
}

void Bandeja::setAvisoAtajo(const QString& aviso) {
    icono_.setToolTip(QStringLiteral("Sonarel\n") + aviso);
}

void Bandeja::setAtajo(const QString& atajo) {
    atajo_ = atajo;
    actualizar();
}

void Bandeja::actualizar() {
    const bool escuchando = motor_.isListening();
    dictar_->setText(escuchando ? QStringLiteral("Detener dictado")
                                : QStringLiteral("Dictar  (%1)").arg(atajo_));
    const bool hayTexto = !motor_.text().isEmpty();
    copiar_->setEnabled(hayTexto);
    terminal_->setEnabled(hayTexto);
    const QString nombre = escuchando ? QStringLiteral("mic.fill") : QStringLiteral("mic");
    if (nombre != simbolo_) {
        simbolo_ = nombre;
        const QColor tinta = escuchando ? tema::kRojo : tema::tinta(menu_.palette());
        icono_.setIcon(simbolo(simbolo_, tinta));
    }
}

}  // namespace sonarel
