#include "platform/pulse/PulseMessages.h"

#include "platform/Logging.h"

#include <pulse/def.h>
#include <pulse/error.h>

namespace sonarel::pulse {

bool isRefusal(int error) {
    return error == PA_ERR_ACCESS || error == PA_ERR_AUTHKEY;
}

QString describeConnectionFailure(int error) {
    qCDebug(logAudio) << "cannot connect to the sound server:" << pa_strerror(error);
    if (isRefusal(error)) {
        return kRecordingRefused;
    }
    if (error == PA_ERR_TIMEOUT) {
        return kServerSilent;
    }
    return kNoServer;
}

QString describeStreamFailure(int error) {
    qCDebug(logAudio) << "the sound server refused the capture stream:" << pa_strerror(error);
    if (isRefusal(error)) {
        return kRecordingRefused;
    }
    if (error == PA_ERR_NOENTITY) {
        return kNoSource;
    }
    if (error == PA_ERR_TIMEOUT) {
        return kServerSilent;
    }
    if (error == PA_ERR_CONNECTIONTERMINATED) {
        return kServerLost;
    }
    return QStringLiteral("El servidor de sonido rechazó la grabación (%1).")
        .arg(QString::fromUtf8(pa_strerror(error)));
}

}  // namespace sonarel::pulse
