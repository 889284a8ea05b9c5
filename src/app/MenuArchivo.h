#pragma once

#include "control/Archivador.h"
#include "engine/SpeechEngine.h"

#include <QObject>

#include <functional>

class QAction;
class QMenu;

namespace sonarel {

// The main window's File-menu commands: start or stop dictation, clear the text (into the
// history first, unless it is there already), open the history folder. Labels and enabled states
// follow the engine.
class MenuArchivo : public QObject {
    Q_OBJECT

public:
    MenuArchivo(QMenu& menu, SpeechEngine& motor, Archivador& archivador,
                std::function<void()> abrirCarpetaDeDictados);

    QAction* dictar() const { return dictar_; }
    QAction* borrar() const { return borrar_; }
    QAction* carpeta() const { return carpeta_; }

private:
    void actualizar();

    SpeechEngine& motor_;
    QAction* dictar_;
    QAction* borrar_;
    QAction* carpeta_;
};

}  // namespace sonarel
