#include "control/Diario.h"

#include "engine/TextRules.h"
#include "platform/Logging.h"
#include "platform/PrivateFiles.h"

#include <QDir>
#include <QFileInfo>

#include <unistd.h>

namespace sonarel {

QString Diario::rutaPorDefecto() {
    QString estado = qEnvironmentVariable("XDG_STATE_HOME");
    if (estado.isEmpty() || QDir::isRelativePath(estado)) {
        estado = QDir::homePath() + QStringLiteral("/.local/state");
    }
    return estado + QStringLiteral("/Sonarel/dictado-en-curso.txt");
}

Diario::Diario(SpeechEngine& motor, const Historial& historial, Archivador& archivador,
               QObject* parent)
    : QObject(parent),
      motor_(motor),
      historial_(historial),
      archivador_(archivador),
      archivo_(rutaPorDefecto()) {
    connect(&motor_, &SpeechEngine::textChanged, this, &Diario::alCambiarTexto);
    connect(&motor_, &SpeechEngine::sessionEnded, this, &Diario::alTerminarSesion);
}

std::optional<QString> Diario::recuperar() {
    QFile dejado(archivo_.fileName());
    if (!dejado.open(QIODevice::ReadOnly)) {
        return std::nullopt;
    }
    const QString texto = QString::fromUtf8(dejado.readAll());
    dejado.close();
    // Archived before the journal goes, so that a crash in between keeps it rather than loses it.
    historial_.guardar(texto);
    QFile::remove(archivo_.fileName());
    if (text::isBlank(texto)) {
        return std::nullopt;
    }
    archivador_.mostrarArchivado(texto);
    return texto;
}

void Diario::alCambiarTexto() {
    if (!motor_.isListening() && !motor_.isStopping()) {
        return;
    }
    const QString texto = motor_.sessionText();
    if (texto == escrito_) {
        return;
    }
    if (!archivo_.isOpen()) {
        // Made private before anything is in it.
        makePrivateFolder(QFileInfo(archivo_.fileName()).absolutePath());
        makePrivateFile(archivo_.fileName());
        if (!archivo_.open(QIODevice::WriteOnly | QIODevice::Truncate)) {
            qCWarning(logHistory) << "cannot keep the dictation in progress in"
                                  << archivo_.fileName() << ":" << archivo_.errorString();
            return;
        }
    }
    // Written over the old text, then cut to length: never empty on the way.
    const QByteArray bytes = texto.toUtf8();
    archivo_.seek(0);
    archivo_.write(bytes);
    archivo_.resize(bytes.size());
    archivo_.flush();
    ::fdatasync(archivo_.handle());
    escrito_ = texto;
}

// The session's text has reached the history by now (the stop delivers it before it ends).
void Diario::alTerminarSesion() {
    if (archivo_.isOpen()) {
        archivo_.close();
    }
    QFile::remove(archivo_.fileName());
    escrito_.clear();
}

}  // namespace sonarel
