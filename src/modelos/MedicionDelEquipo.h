#pragma once

#include "modelos/Recomendacion.h"
#include "platform/SpeechModels.h"

#include <QObject>
#include <QPointer>

#include <atomic>
#include <memory>
#include <thread>

namespace sonarel {

// Times the encoder of every published size on this machine, on a thread of its own, with half
// the cores (the other half stays free for the desktop), and keeps the figures in a file so that
// they are measured once, not at every start. Main thread only.
class MedicionDelEquipo : public QObject {
    Q_OBJECT

public:
    MedicionDelEquipo(SpeechModels& modelos, QString archivo, QObject* parent = nullptr);
    ~MedicionDelEquipo() override;

    // Measures the sizes of `catalogo`, each on the installed 16-bit file of that size when
    // `instalados` holds one (its real weights) and otherwise on random weights of its shape;
    // a size installed in any form is always measured. Does nothing while a measurement is under
    // way.
    void medir(const QList<ModeloPublicado>& catalogo, const QList<ModeloInstalado>& instalados,
               qint64 memoria);

    bool enCurso() const { return trabajo_.joinable(); }
    // The size being measured now.
    const QString& midiendo() const { return midiendo_; }
    // The last measurement: this run's, or the one kept from an earlier run with as many threads.
    const std::optional<Medicion>& resultado() const { return resultado_; }

signals:
    void cambio();

private:
    void terminar(Medicion medicion);

    SpeechModels& modelos_;
    const QString archivo_;
    std::optional<Medicion> resultado_;
    QString midiendo_;
    std::thread trabajo_;
    std::shared_ptr<std::atomic<bool>> cancelada_ = std::make_shared<std::atomic<bool>>(false);
};

}  // namespace sonarel
