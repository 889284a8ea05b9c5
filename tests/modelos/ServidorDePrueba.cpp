#include "ServidorDePrueba.h"

#include <utility>

#include <QRegularExpression>
#include <QTcpSocket>

namespace sonarel::testing {

namespace {
constexpr qint64 kTrozo = 256 * 1024;
}

ServidorDePrueba::ServidorDePrueba(QString archivo, QByteArray contenido)
    : archivo_(std::move(archivo)), contenido_(std::move(contenido)) {
    servidor_.listen(QHostAddress::LocalHost);
    connect(&servidor_, &QTcpServer::newConnection, this, [this] {
        while (QTcpSocket* socket = servidor_.nextPendingConnection()) {
            connect(socket, &QTcpSocket::readyRead, this, [this, socket] { atender(socket); });
            connect(socket, &QTcpSocket::disconnected, socket, &QObject::deleteLater);
            connect(socket, &QTcpSocket::bytesWritten, this, &ServidorDePrueba::enviar);
        }
    });
}

QUrl ServidorDePrueba::direccion() const {
    return QUrl(QStringLiteral("http://127.0.0.1:%1/modelos/%2").arg(puerto()).arg(archivo_));
}

void ServidorDePrueba::seguir() {
    pausa_ = -1;
    enviar();
}

void ServidorDePrueba::atender(QTcpSocket* socket) {
    if (!socket->canReadLine() || !socket->peek(64 * 1024).contains("\r\n\r\n")) {
        return;
    }
    const QByteArray linea = socket->readLine().trimmed();
    QByteArray rango;
    while (socket->canReadLine()) {
        const QByteArray cabecera = socket->readLine().trimmed();
        if (cabecera.isEmpty()) {
            break;
        }
        if (cabecera.toLower().startsWith("range:")) {
            rango = cabecera.mid(6).trimmed();
        }
    }
    peticiones_.append(linea);
    rangos_.append(rango);

    // "GET /modelos/x.bin HTTP/1.1", or through a proxy "GET http://host/modelos/x.bin HTTP/1.1".
    const QList<QByteArray> partes = linea.split(' ');
    const QString ruta =
        partes.size() == 3 ? QUrl(QString::fromLatin1(partes[1])).path() : QString();
    if (!ruta.endsWith(QLatin1Char('/') + archivo_)) {
        socket->write("HTTP/1.1 404 Not Found\r\nContent-Length: 0\r\nConnection: close\r\n\r\n");
        socket->disconnectFromHost();
        return;
    }
    const QString almacen = QStringLiteral("/lfs/") + archivo_;
    if (!sha256.isEmpty() && ruta != almacen) {
        socket->write(
            "HTTP/1.1 302 Found\r\nLocation: http://127.0.0.1:" + QByteArray::number(puerto()) +
            almacen.toLatin1() + "\r\nX-Linked-Etag: \"" + sha256 +
            "\"\r\nETag: \"0123abcd\"\r\nContent-Length: 0\r\nConnection: close\r\n\r\n");
        socket->disconnectFromHost();
        return;
    }
    if (partes.value(0) == "HEAD") {
        socket->write("HTTP/1.1 200 OK\r\nContent-Length: " +
                      QByteArray::number(contenido_.size()) + "\r\nConnection: close\r\n\r\n");
        socket->disconnectFromHost();
        return;
    }
    static const QRegularExpression desde(QStringLiteral("^bytes=(\\d+)-$"));
    const QRegularExpressionMatch pedido = desde.match(QString::fromLatin1(rango));
    const qint64 total = contenido_.size();
    qint64 inicio = pedido.hasMatch() && !ignorarRangos ? pedido.captured(1).toLongLong() : 0;
    if (inicio >= total && inicio > 0) {
        socket->write("HTTP/1.1 416 Range Not Satisfiable\r\nContent-Range: bytes */" +
                      QByteArray::number(total) +
                      "\r\nContent-Length: 0\r\nConnection: close\r\n\r\n");
        socket->disconnectFromHost();
        return;
    }
    if (inicio > 0 && std::exchange(rangoEquivocado, false)) {
        socket->write("HTTP/1.1 206 Partial Content\r\nContent-Range: bytes 0-0/" +
                      QByteArray::number(total) +
                      "\r\nContent-Length: 0\r\nConnection: close\r\n\r\n");
        socket->disconnectFromHost();
        return;
    }
    QByteArray respuesta;
    if (inicio > 0) {
        respuesta = "HTTP/1.1 206 Partial Content\r\nContent-Range: bytes " +
                    QByteArray::number(inicio) + '-' + QByteArray::number(total - 1) + '/' +
                    QByteArray::number(total) + "\r\n";
    } else {
        respuesta = "HTTP/1.1 200 OK\r\n";
    }
    respuesta += "Content-Length: " + QByteArray::number(total - inicio) +
                 "\r\nContent-Type: application/octet-stream\r\nConnection: close\r\n\r\n";
    socket->write(respuesta);
    const bool cortar = corteSiguiente_ >= 0;
    const qint64 fin = cortar ? std::min(total, inicio + corteSiguiente_) : total;
    corteSiguiente_ = -1;
    envios_.append({socket, inicio, fin, cortar});
    enviar();
}

// Feeds every answer a piece at a time, so that what is queued stays small and a cut or a pause
// lands where it was asked for.
void ServidorDePrueba::enviar() {
    for (qsizetype i = 0; i < envios_.size();) {
        Envio& envio = envios_[i];
        if (!envio.socket || envio.socket->state() != QAbstractSocket::ConnectedState) {
            envios_.removeAt(i);
            continue;
        }
        qint64 hasta = envio.fin;
        if (pausa_ >= 0) {
            hasta = std::min(hasta, std::max(pausa_, envio.posicion));
        }
        while (envio.posicion < hasta && envio.socket->bytesToWrite() < 4 * kTrozo) {
            const qint64 n = std::min(kTrozo, hasta - envio.posicion);
            envio.socket->write(contenido_.constData() + envio.posicion, n);
            envio.posicion += n;
        }
        if (envio.posicion == envio.fin) {
            if (envio.cortar) {
                // Once what was sent has left, so that the other side has all of it.
                if (envio.socket->bytesToWrite() > 0) {
                    ++i;
                    continue;
                }
                envio.socket->abort();
            } else {
                envio.socket->disconnectFromHost();
            }
            envios_.removeAt(i);
            continue;
        }
        ++i;
    }
}

}  // namespace sonarel::testing
