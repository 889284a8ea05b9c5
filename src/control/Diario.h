#pragma once

#include "control/Archivador.h"
#include "engine/SpeechEngine.h"
#include "history/Historial.h"

#include <QFile>
#include <QObject>
#include <QString>

#include <optional>

namespace sonarel {

// The dictation in progress, kept on disk as it is heard, so that a crash or a power cut loses
// none of it: the session's text (never its audio) in "Sonarel/dictado-en-curso.txt" of the
// user's state folder ($XDG_STATE_HOME, by default ~/.local/state), 0600. Each change of the
// text replaces the file's contents and is flushed to the disk; a session that ends normally,
// its text archived, removes it. Written on the main thread: the capture and recognizer threads
// never wait for it. Main thread only.
class Diario : public QObject {
    Q_OBJECT

public:
    Diario(SpeechEngine& motor, const Historial& historial, Archivador& archivador,
           QObject* parent = nullptr);

    static QString rutaPorDefecto();

    // At launch: a journal left by a run that did not end archives its text to the history
    // (once: the journal is removed afterwards) and shows it in the editor. Answers the text.
    std::optional<QString> recuperar();

private:
    void alCambiarTexto();
    void alTerminarSesion();

    SpeechEngine& motor_;
    const Historial& historial_;
    Archivador& archivador_;
    QFile archivo_;
    QString escrito_;  // what the file holds
};

}  // namespace sonarel
