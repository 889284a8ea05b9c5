#include "modelos/DescargaModelo.h"

#include "platform/Logging.h"

#include <QDir>
#include <QLocale>
#include <QNetworkProxyFactory>
#include <QNetworkReply>
#include <QRegularExpression>
#include <QStorageInfo>

namespace sonarel {

namespace {

// A transfer that stalls this long counts as interrupted.
constexpr int kSilencioMaximoMs = 30000;

// The desktop's proxy settings (the http_proxy and no_proxy variables) for every request.
class ProxyDelSistema : public QNetworkProxyFactory {
public:
    QList<QNetworkProxy> queryProxy(const QNetworkProxyQuery& query) override {
        return systemProxyForQuery(query);
    }
};

}  // namespace

DescargaModelo::DescargaModelo(QString carpeta, const Clock& clock, Reductor reducir,
                               QObject* parent)
    : QObject(parent), carpeta_(std::move(carpeta)), clock_(clock), reducir_(std::move(reducir)) {
    red_.setProxyFactory(new ProxyDelSistema);
}

DescargaModelo::~DescargaModelo() {
    terminarPeticion();
    esperarComprobacion();
}

QString DescargaModelo::rutaFinal() const {
    return QDir(carpeta_).filePath(modelo_->archivo);
}

QString DescargaModelo::rutaParcial() const {
    const QString publicado = modelo_->original.isEmpty() ? modelo_->archivo : modelo_->original;
    return QDir(carpeta_).filePath(publicado) + QStringLiteral(".part");
}

bool DescargaModelo::descargar(const ModeloPublicado& modelo, bool conservarOriginal) {
    if (fase_ != Fase::inactiva) {
        return false;
    }
    modelo_ = modelo;
    conservarOriginal_ = conservarOriginal;
    sha256_.clear();
    fase_ = Fase::descargando;
    total_ = -1;
    if (!QDir().mkpath(carpeta_)) {
        fallar(QStringLiteral("No se pudo crear la carpeta de modelos %1.").arg(carpeta_), false);
        return true;
    }
    parcial_.setFileName(rutaParcial());
    if (!parcial_.open(QIODevice::WriteOnly | QIODevice::Append | QIODevice::Unbuffered)) {
        fallar(QStringLiteral("No se puede escribir en la carpeta de modelos %1 (%2).")
                   .arg(carpeta_, parcial_.errorString()),
               false);
        return true;
    }
    recibidos_ = parcial_.size();
    recibidosAlEmpezar_ = recibidos_;
    empezada_ = clock_.now();
    if (modelo_->sha1.isEmpty()) {
        pedirSuma();
    } else {
        pedir();
    }
    return true;
}

void DescargaModelo::pedir() {
    QNetworkRequest peticion(modelo_->direccion);
    peticion.setTransferTimeout(kSilencioMaximoMs);
    peticion.setHeader(QNetworkRequest::UserAgentHeader, QStringLiteral("Sonarel"));
    if (recibidos_ > 0) {
        peticion.setRawHeader("Range", "bytes=" + QByteArray::number(recibidos_) + '-');
    }
    respuestaAceptada_ = false;
    recibidosEnPeticion_ = 0;
    peticion_ = red_.get(peticion);
    connect(peticion_, &QNetworkReply::readyRead, this, &DescargaModelo::recibir);
    connect(peticion_, &QNetworkReply::finished, this, &DescargaModelo::alTerminarPeticion);
}

// Decides what the answer's body is: the rest of the partial file, or the whole file again.
// False when this answer is not to be written (the download then went on another way).
bool DescargaModelo::aceptarRespuesta() {
    const int estado = peticion_->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
    if (estado == 206) {
        static const QRegularExpression rango(QStringLiteral("^bytes (\\d+)-\\d+/(\\d+|\\*)$"));
        const QRegularExpressionMatch partes =
            rango.match(QString::fromLatin1(peticion_->rawHeader("Content-Range")));
        if (!partes.hasMatch() || partes.captured(1).toLongLong() != recibidos_) {
            // Not the piece asked for: the whole file again, from its start.
            terminarPeticion();
            parcial_.resize(0);
            recibidos_ = recibidosAlEmpezar_ = 0;
            pedir();
            return false;
        }
        total_ = partes.captured(2) == QLatin1String("*") ? -1 : partes.captured(2).toLongLong();
    } else if (estado == 200) {
        // A server that ignores ranges sends the whole file.
        if (recibidos_ > 0) {
            parcial_.resize(0);
            recibidos_ = recibidosAlEmpezar_ = 0;
        }
        const QVariant largo = peticion_->header(QNetworkRequest::ContentLengthHeader);
        total_ = largo.isValid() ? largo.toLongLong() : -1;
    } else if (estado == 0) {
        // No answer at all (offline, no name, refused, silent): the end of the request says why.
        return false;
    } else if (estado == 416 && recibidos_ > 0) {
        // Nothing after the partial file: it may be whole already, which its checksum tells.
        terminarPeticion();
        comprobar();
        return false;
    } else {
        fallar(QStringLiteral("El servidor de modelos respondió %1 al pedir %2.")
                   .arg(estado)
                   .arg(modelo_->direccion.toString()),
               false);
        return false;
    }
    const qint64 libres = QStorageInfo(carpeta_).bytesAvailable();
    if (total_ > 0 && libres >= 0 && libres < total_ - recibidos_) {
        fallar(
            QStringLiteral("No hay espacio en el disco para %1: hacen falta %2 y en %3 quedan %4.")
                .arg(modelo_->nombre, textoBytes(total_ - recibidos_), carpeta_,
                     textoBytes(libres)),
            true);
        return false;
    }
    respuestaAceptada_ = true;
    return true;
}

void DescargaModelo::recibir() {
    if (!peticion_ || (!respuestaAceptada_ && !aceptarRespuesta())) {
        return;
    }
    const QByteArray datos = peticion_->readAll();
    if (datos.isEmpty()) {
        return;
    }
    if (parcial_.write(datos) != datos.size()) {
        const bool lleno = parcial_.error() == QFileDevice::ResourceError;
        fallar(lleno ? QStringLiteral("El disco se llenó al descargar %1 y se borró lo descargado. "
                                      "Libera espacio y vuelve a intentarlo.")
                           .arg(modelo_->nombre)
                     : QStringLiteral("No se pudo escribir %1 en %2 (%3) y se borró lo descargado.")
                           .arg(modelo_->nombre, carpeta_, parcial_.errorString()),
               true);
        return;
    }
    recibidos_ += datos.size();
    recibidosEnPeticion_ += datos.size();
    emit progreso();
}

void DescargaModelo::alTerminarPeticion() {
    QNetworkReply* const terminada = peticion_;
    recibir();
    // The answer may have started the download over with a new request (a wrong range): that
    // one goes on.
    if (!peticion_ || peticion_ != terminada || fase_ != Fase::descargando) {
        return;
    }
    const QNetworkReply::NetworkError error = peticion_->error();
    const QString motivo = peticion_->errorString();
    const bool sinRespuesta =
        !peticion_->attribute(QNetworkRequest::HttpStatusCodeAttribute).isValid();
    terminarPeticion();
    if (error != QNetworkReply::NoError && sinRespuesta) {
        fallar(QStringLiteral("No se pudo llegar al servidor de modelos (%1). Revisa la conexión a "
                              "internet y pulsa Descargar para volver a intentarlo.")
                   .arg(motivo),
               false);
        return;
    }
    const bool completa = error == QNetworkReply::NoError && (total_ < 0 || recibidos_ >= total_);
    if (completa) {
        comprobar();
    } else if (recibidosEnPeticion_ > 0) {
        // The connection dropped after some progress: go on where it stopped.
        pedir();
    } else {
        fallar(
            QStringLiteral("La descarga de %1 se interrumpió (%2). Pulsa Descargar para seguir "
                           "donde quedó.")
                .arg(modelo_->nombre,
                     error == QNetworkReply::NoError ? QStringLiteral("llegó incompleta") : motivo),
            false);
    }
}

void DescargaModelo::cancelar() {
    if (fase_ == Fase::inactiva) {
        return;
    }
    terminarPeticion();
    esperarComprobacion();
    parcial_.close();
    QFile::remove(rutaParcial());
    fase_ = Fase::inactiva;
}

std::optional<double> DescargaModelo::segundosRestantes() const {
    const double segundos = clock_.now() - empezada_;
    const qint64 hechos = recibidos_ - recibidosAlEmpezar_;
    if (fase_ != Fase::descargando || total_ < 0 || segundos < 1 || hechos <= 0) {
        return std::nullopt;
    }
    return double(total_ - recibidos_) * segundos / double(hechos);
}

void DescargaModelo::fallar(const QString& mensaje, bool borrarParcial) {
    qCDebug(logModels) << "download failed:" << mensaje;
    terminarPeticion();
    esperarComprobacion();
    parcial_.close();
    if (borrarParcial) {
        QFile::remove(rutaParcial());
    }
    fase_ = Fase::inactiva;
    emit fallida(mensaje);
}

void DescargaModelo::terminarPeticion() {
    if (peticion_) {
        disconnect(peticion_, nullptr, this, nullptr);
        peticion_->abort();
        peticion_->deleteLater();
        peticion_ = nullptr;
    }
}

void DescargaModelo::esperarComprobacion() {
    if (comprobacion_.joinable()) {
        *comprobacionCancelada_ = true;
        comprobacion_.join();
    }
}

QString textoBytes(qint64 bytes) {
    const QLocale espanol(QLocale::Spanish);
    if (bytes < 1000 * 1000) {
        return QStringLiteral("%1 kB").arg(espanol.toString(double(bytes) / 1e3, 'f', 0));
    }
    if (bytes < 1000LL * 1000 * 1000) {
        const double mb = double(bytes) / 1e6;
        return QStringLiteral("%1 MB").arg(espanol.toString(mb, 'f', mb < 100 ? 1 : 0));
    }
    return QStringLiteral("%1 GB").arg(espanol.toString(double(bytes) / 1e9, 'f', 1));
}

}  // namespace sonarel
