// What a download does besides the transfer: the SHA-256 the repository gives before it, and
// after it the check of the sum, the reduction to 4 bits and the move into place.
#include "modelos/DescargaModelo.h"

#include "platform/Logging.h"
#include "platform/MainThread.h"

#include <QCryptographicHash>
#include <QDir>
#include <QNetworkReply>
#include <QRegularExpression>

#include <filesystem>

namespace sonarel {

namespace {

constexpr qint64 kTrozoComprobacion = 1 << 20;

bool coincideLaSuma(const QString& ruta, QCryptographicHash::Algorithm algoritmo,
                    const QByteArray& esperada, const std::atomic<bool>& cancelada) {
    QFile archivo(ruta);
    if (!archivo.open(QIODevice::ReadOnly)) {
        return false;
    }
    QCryptographicHash suma(algoritmo);
    while (!archivo.atEnd()) {
        if (cancelada) {
            return false;
        }
        const QByteArray trozo = archivo.read(kTrozoComprobacion);
        if (trozo.isEmpty()) {
            return false;
        }
        suma.addData(trozo);
    }
    return suma.result().toHex() == esperada;
}

// A large file's SHA-256, as the repository names it in the answer for its address: in
// "X-Linked-Etag" on the redirect to where the file is stored, or as the file's own "ETag".
QByteArray sha256DeLaRespuesta(const QNetworkReply& respuesta) {
    static const QRegularExpression sha256(QStringLiteral("^(W/)?\"?([0-9a-f]{64})\"?$"));
    for (const QByteArray cabecera : {"X-Linked-Etag", "ETag"}) {
        const QRegularExpressionMatch partes =
            sha256.match(QString::fromLatin1(respuesta.rawHeader(cabecera)).trimmed().toLower());
        if (partes.hasMatch()) {
            return partes.captured(2).toLatin1();
        }
    }
    return {};
}

}  // namespace

QString DescargaModelo::nombreDeLaSuma() const {
    return modelo_ && modelo_->sha1.isEmpty() ? QStringLiteral("SHA-256") : QStringLiteral("SHA-1");
}

void DescargaModelo::pedirSuma() {
    QNetworkRequest peticion(modelo_->direccion);
    peticion.setTransferTimeout(30000);
    peticion.setHeader(QNetworkRequest::UserAgentHeader, QStringLiteral("Sonarel"));
    // The sum is on the redirect itself, which is not followed.
    peticion.setAttribute(QNetworkRequest::RedirectPolicyAttribute,
                          QNetworkRequest::ManualRedirectPolicy);
    peticion_ = red_.head(peticion);
    connect(peticion_, &QNetworkReply::finished, this, &DescargaModelo::alRecibirSuma);
}

void DescargaModelo::alRecibirSuma() {
    const QByteArray suma = sha256DeLaRespuesta(*peticion_);
    const QNetworkReply::NetworkError error = peticion_->error();
    const QString motivo = peticion_->errorString();
    const bool sinRespuesta =
        !peticion_->attribute(QNetworkRequest::HttpStatusCodeAttribute).isValid();
    terminarPeticion();
    // An empty partial file is nothing to go on from.
    const bool nadaDescargado = recibidos_ == 0;
    if (error != QNetworkReply::NoError && sinRespuesta) {
        fallar(QStringLiteral("No se pudo llegar al servidor de modelos (%1). Revisa la conexión a "
                              "internet y pulsa Descargar para volver a intentarlo.")
                   .arg(motivo),
               nadaDescargado);
    } else if (suma.isEmpty()) {
        fallar(QStringLiteral("El servidor de modelos no dio la suma SHA-256 de %1, sin la que no "
                              "puede comprobarse: no se descargó.")
                   .arg(modelo_->nombre),
               nadaDescargado);
    } else {
        sha256_ = suma;
        pedir();
    }
}

void DescargaModelo::comprobar() {
    parcial_.close();
    fase_ = Fase::comprobando;
    emit comprobando();
    const bool sha1 = !modelo_->sha1.isEmpty();
    comprobacionCancelada_ = std::make_shared<std::atomic<bool>>(false);
    comprobacion_ =
        std::thread([ruta = rutaParcial(),
                     algoritmo = sha1 ? QCryptographicHash::Sha1 : QCryptographicHash::Sha256,
                     esperada = sha1 ? modelo_->sha1 : sha256_, cancelada = comprobacionCancelada_,
                     self = QPointer<DescargaModelo>(this)] {
            const bool coincide = coincideLaSuma(ruta, algoritmo, esperada, *cancelada);
            postToMain([self, cancelada, coincide] {
                if (self && !*cancelada) {
                    self->alComprobar(coincide);
                }
            });
        });
}

void DescargaModelo::alComprobar(bool coincide) {
    esperarComprobacion();
    if (!coincide) {
        fallar(QStringLiteral("%1 llegó dañado: no coincide con su suma %2 publicada. Se borró; "
                              "vuelve a descargarlo.")
                   .arg(modelo_->nombre, nombreDeLaSuma()),
               true);
    } else if (!modelo_->original.isEmpty()) {
        reducir();
    } else {
        instalar();
    }
}

void DescargaModelo::reducir() {
    fase_ = Fase::reduciendo;
    emit reduciendo();
    comprobacionCancelada_ = std::make_shared<std::atomic<bool>>(false);
    comprobacion_ =
        std::thread([desde = rutaParcial(), hacia = rutaFinal(), reducir = reducir_,
                     cancelada = comprobacionCancelada_, self = QPointer<DescargaModelo>(this)] {
            const std::optional<QString> fallo = reducir(desde, hacia);
            postToMain([self, cancelada, fallo] {
                if (self && !*cancelada) {
                    self->alReducir(fallo);
                }
            });
        });
}

void DescargaModelo::alReducir(const std::optional<QString>& fallo) {
    esperarComprobacion();
    if (fallo) {
        // The checked download stays: Descargar goes on from it without fetching it again.
        fallar(QStringLiteral("No se pudo hacer la forma de 4 bits de %1: %2")
                   .arg(modelo_->nombre, *fallo),
               false);
        return;
    }
    if (!conservarOriginal_) {
        QFile::remove(rutaParcial());
        fase_ = Fase::inactiva;
        emit instalado(rutaFinal());
        return;
    }
    instalar();
}

// Puts the checked download under its published name; when it was reduced, the 4-bit form is
// already in place and this keeps the original beside it.
void DescargaModelo::instalar() {
    const QString destino =
        modelo_->original.isEmpty() ? rutaFinal() : QDir(carpeta_).filePath(modelo_->original);
    // A rename within the folder replaces any older file whole, in one step.
    std::error_code error;
    std::filesystem::rename(QFile::encodeName(rutaParcial()).toStdString(),
                            QFile::encodeName(destino).toStdString(), error);
    if (error) {
        fallar(QStringLiteral("No se pudo poner %1 en su sitio (%2).")
                   .arg(modelo_->nombre, QString::fromLocal8Bit(error.message())),
               true);
        return;
    }
    fase_ = Fase::inactiva;
    emit instalado(rutaFinal());
}

}  // namespace sonarel
