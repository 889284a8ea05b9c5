#pragma once

#include "delivery/Paster.h"
#include "engine/SpeechEngine.h"

#include <QMenu>
#include <QObject>
#include <QSystemTrayIcon>

#include <functional>

namespace sonarel {

// The tray item, always present while the application runs: "mic.fill" while dictating, "mic"
// otherwise, with the dictation menu. Where the desktop has no tray the item simply never shows;
// everything else keeps working.
class Bandeja : public QObject {
    Q_OBJECT

public:
    struct Comandos {
        std::function<void()> alternarDesdeAtajo;
        std::function<void()> abrirVentana;
        std::function<void()> abrirCarpetaDeDictados;
        std::function<void()> salir;
    };

    Bandeja(SpeechEngine& motor, Paster& paster, Comandos comandos, QObject* parent = nullptr);

    void mostrar() { icono_.show(); }
    // A lasting notice, added to the item's tooltip.
    void setAvisoAtajo(const QString& aviso);
    // The shortcut as the menu names it.
    void setAtajo(const QString& atajo);

    QMenu& menu() { return menu_; }
    QSystemTrayIcon& icono() { return icono_; }
    // The symbol the item shows now.
    const QString& simboloActual() const { return simbolo_; }

private:
    void actualizar();

    SpeechEngine& motor_;
    QMenu menu_;
    QSystemTrayIcon icono_;
    QString simbolo_;
    QString atajo_ = QStringLiteral("Alt+Super+D");
    QAction* dictar_;
    QAction* copiar_;
    QAction* terminal_;
};

}  // namespace sonarel
