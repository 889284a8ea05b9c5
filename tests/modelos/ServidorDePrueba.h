#pragma once

#include <QByteArray>
#include <QList>
#include <QObject>
#include <QPointer>
#include <QTcpServer>
#include <QTcpSocket>
#include <QUrl>

namespace sonarel::testing {

// A small HTTP/1.1 server on 127.0.0.1 that serves one file, for download tests: it answers
// HEAD and GET, honours "Range: bytes=N-", can drop the connection or hold the answer after some
// bytes, and also answers requests sent to it as a proxy (with the whole address in the request
// line). It runs on the main thread's event loop.
class ServidorDePrueba : public QObject {
    Q_OBJECT

public:
    ServidorDePrueba(QString archivo, QByteArray contenido);

    quint16 puerto() const { return servidor_.serverPort(); }
    // The file's address on this server.
    QUrl direccion() const;

    // The next answer stops after this many bytes of its body, and the connection is dropped.
    void cortarTras(qint64 bytes) { corteSiguiente_ = bytes; }
    // Every answer holds after this many bytes of the file until `seguir()`.
    void pausarEn(qint64 posicion) { pausa_ = posicion; }
    void seguir();
    // Answers every request with the whole file, as a server without ranges does.
    bool ignorarRangos = false;
    // The next request for a range gets a 206 for another range, with an empty body.
    bool rangoEquivocado = false;
    // Set: the file's address answers as the model repository does for a large file, with a
    // redirect to where it is stored that names this as its SHA-256 in "X-Linked-Etag".
    QByteArray sha256;

    // The request lines and range headers received, in order.
    const QList<QByteArray>& peticiones() const { return peticiones_; }
    const QList<QByteArray>& rangos() const { return rangos_; }

private:
    struct Envio {
        QPointer<QTcpSocket> socket;
        qint64 posicion;  // in the file
        qint64 fin;       // where this answer stops
        bool cortar;      // drop the connection at `fin`
    };

    void atender(QTcpSocket* socket);
    void enviar();

    QTcpServer servidor_;
    const QString archivo_;
    const QByteArray contenido_;
    qint64 corteSiguiente_ = -1;
    qint64 pausa_ = -1;
    QList<Envio> envios_;
    QList<QByteArray> peticiones_;
    QList<QByteArray> rangos_;
};

}  // namespace sonarel::testing
