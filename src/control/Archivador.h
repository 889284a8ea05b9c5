#pragma once

#include "engine/SpeechEngine.h"
#include "history/Historial.h"

#include <QObject>
#include <QString>

namespace sonarel {

// Puts each dictated text into the history once. A session's text goes in when the session
// stops; the editor's text when it is cleared, unless all of it is there already. It is, from a
// stop on, when the editor held nothing the history lacked as the session began; it no longer
// is once the user changes it. So a text typed or edited by hand is kept, and a dictated one is
// not written twice. Main thread only.
class Archivador : public QObject {
    Q_OBJECT

public:
    Archivador(SpeechEngine& motor, const Historial& historial, QObject* parent = nullptr);

    // The text a session delivers at its stop.
    void guardarDictado(const QString& texto) const;
    // Archives the editor's text unless the history already holds all of it, then clears it.
    void guardarYBorrar();
    // Puts a text the history already holds into the editor, which then counts as archived.
    void mostrarArchivado(const QString& texto);

private:
    void alCambiarEstado();
    void alTerminarSesion();

    SpeechEngine& motor_;
    const Historial& historial_;
    QString archivado_;  // the editor's text as it was when the history last held all of it
    bool enSesion_ = false;
    bool archivadoAlEmpezar_ = true;  // the editor held nothing new when the session began
};

}  // namespace sonarel
