#pragma once

#include "modelos/CatalogoModelos.h"
#include "platform/Clock.h"

#include <QFile>
#include <QNetworkAccessManager>
#include <QObject>
#include <QPointer>

#include <atomic>
#include <functional>
#include <memory>
#include <optional>
#include <thread>

class QNetworkReply;

namespace sonarel {

// Downloads published models into a folder, one at a time, through the system's proxy. The
// bytes go to "<file>.part" beside the model, which an interrupted download resumes with a
// range request (at once when the connection drops after some progress, or at the next start);
// the finished file is checked against its published SHA-1 (or the SHA-256 its repository serves
// with it, asked for before the transfer) and only then renamed into place, or first reduced to
// its 4-bit form when the catalogue says so, so that nothing half-written ever carries a model's
// name. Main thread only.
class DescargaModelo : public QObject {
    Q_OBJECT

public:
    enum class Fase { inactiva, descargando, comprobando, reduciendo };
    // Writes the 4-bit form of the model file `desde` into `hacia`; answers why it failed. Runs
    // on a thread of its own.
    using Reductor =
        std::function<std::optional<QString>(const QString& desde, const QString& hacia)>;

    DescargaModelo(QString carpeta, const Clock& clock, Reductor reducir,
                   QObject* parent = nullptr);
    ~DescargaModelo() override;

    // Starts downloading `modelo`; false when another download is under way. `conservarOriginal`:
    // a model installed in its 4-bit form keeps the published file beside it too.
    bool descargar(const ModeloPublicado& modelo, bool conservarOriginal = false);
    // Stops the download under way and deletes what it had written.
    void cancelar();

    Fase fase() const { return fase_; }
    // The model being downloaded or checked.
    const std::optional<ModeloPublicado>& modelo() const { return modelo_; }
    qint64 recibidos() const { return recibidos_; }
    qint64 total() const { return total_; }
    // From the pace of this download so far; none until there is a pace.
    std::optional<double> segundosRestantes() const;
    const QString& carpeta() const { return carpeta_; }

    // "SHA-1" or "SHA-256": the sum the file is checked against.
    QString nombreDeLaSuma() const;

signals:
    void progreso();
    void comprobando();
    void reduciendo();
    void instalado(const QString& ruta);
    void fallida(const QString& mensaje);

private:
    QString rutaFinal() const;
    QString rutaParcial() const;
    void pedirSuma();
    void alRecibirSuma();
    void pedir();
    bool aceptarRespuesta();
    void recibir();
    void alTerminarPeticion();
    void comprobar();
    void alComprobar(bool coincide);
    void reducir();
    void alReducir(const std::optional<QString>& fallo);
    void instalar();
    void fallar(const QString& mensaje, bool borrarParcial);
    void terminarPeticion();
    void esperarComprobacion();

    const QString carpeta_;
    const Clock& clock_;
    const Reductor reducir_;
    QNetworkAccessManager red_;
    Fase fase_ = Fase::inactiva;
    std::optional<ModeloPublicado> modelo_;
    bool conservarOriginal_ = false;
    QByteArray sha256_;  // as the repository gave it, for a model without a published SHA-1
    QFile parcial_;
    QPointer<QNetworkReply> peticion_;
    bool respuestaAceptada_ = false;
    qint64 recibidos_ = 0;  // in the partial file
    qint64 total_ = -1;     // of the whole file; -1 unknown
    qint64 recibidosEnPeticion_ = 0;
    qint64 recibidosAlEmpezar_ = 0;  // in the partial file when this download started
    double empezada_ = 0;
    std::thread comprobacion_;  // or the reduction
    std::shared_ptr<std::atomic<bool>> comprobacionCancelada_;
};

// "57,0 MB", "1,5 GB": sizes the way the manager shows them.
QString textoBytes(qint64 bytes);

}  // namespace sonarel
