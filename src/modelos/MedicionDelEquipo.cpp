#include "modelos/MedicionDelEquipo.h"

#include "platform/Logging.h"
#include "platform/MainThread.h"

#include <QFileInfo>
#include <QHash>

namespace sonarel {

MedicionDelEquipo::MedicionDelEquipo(SpeechModels& modelos, QString archivo, QObject* parent)
    : QObject(parent), modelos_(modelos), archivo_(std::move(archivo)) {
    std::optional<Medicion> guardada = leerMedicion(archivo_);
    if (guardada && guardada->hilos == modelos_.liveThreads() &&
        guardada->ventana == modelos_.liveWindow()) {
        resultado_ = std::move(guardada);
    }
}

MedicionDelEquipo::~MedicionDelEquipo() {
    // The pass under way stops at its next step, and the rest of the sizes are skipped.
    *cancelada_ = true;
    if (trabajo_.joinable()) {
        trabajo_.join();
    }
}

void MedicionDelEquipo::medir(const QList<ModeloPublicado>& catalogo,
                              const QList<ModeloInstalado>& instalados, qint64 memoria) {
    if (enCurso()) {
        return;
    }
    // The installed 16-bit file of each size; its file name is the published one.
    QHash<QString, QString> archivos;
    QHash<QString, bool> caben;
    QStringList tamanosInstalados;  // in any form: always measured
    for (const ModeloPublicado& modelo : catalogo) {
        caben[modelo.tamano] = caben.value(modelo.tamano) || cabeEnMemoria(modelo, memoria);
        for (const ModeloInstalado& instalado : instalados) {
            if (QFileInfo(instalado.ruta).fileName() != modelo.archivo) {
                continue;
            }
            tamanosInstalados << modelo.tamano;
            if (!modelo.cuantizado()) {
                archivos.insert(modelo.tamano, instalado.ruta);
            }
        }
    }
    const QStringList tamanos = tamanosDe(catalogo);
    midiendo_ = tamanos.value(0);
    emit cambio();
    trabajo_ = std::thread([this, tamanos, archivos, caben, tamanosInstalados,
                            cancelada = cancelada_, self = QPointer<MedicionDelEquipo>(this)] {
        const int hilos = modelos_.liveThreads();
        Medicion medicion{hilos, modelos_.liveWindow(), {}};
        medicion.pasos = medirTamanos(
            tamanos, medicion.ventana,
            [&](const QString& tamano) -> std::optional<double> {
                if (*cancelada) {
                    return std::nullopt;
                }
                postToMain([self, tamano] {
                    if (self) {
                        self->midiendo_ = tamano;
                        emit self->cambio();
                    }
                });
                return modelos_.timeEncoderPass(tamano, archivos.value(tamano), hilos, *cancelada);
            },
            [&](const QString& tamano) { return modelos_.encoderCost(tamano); },
            [&](const QString& tamano) { return caben.value(tamano); }, tamanosInstalados);
        postToMain([self, medicion] {
            if (self) {
                self->terminar(medicion);
            }
        });
    });
}

void MedicionDelEquipo::terminar(Medicion medicion) {
    trabajo_.join();
    midiendo_.clear();
    if (!medicion.pasos.isEmpty()) {
        if (!guardarMedicion(archivo_, medicion)) {
            qCWarning(logModels) << "cannot keep the measurement in" << archivo_;
        }
        resultado_ = std::move(medicion);
    }
    emit cambio();
}

}  // namespace sonarel
