#include "app/InstanciaUnica.h"

#include <QDir>
#include <QLocalSocket>
#include <QStandardPaths>

namespace sonarel {
namespace {

constexpr int kEsperaMs = 1000;
const QByteArray kMostrar = QByteArrayLiteral("mostrar");
const QByteArray kAlternar = QByteArrayLiteral("alternar");
const QByteArray kEmpezar = QByteArrayLiteral("empezar");
const QByteArray kParar = QByteArrayLiteral("parar");

QByteArray peticionDe(InstanciaUnica::Aviso aviso) {
    switch (aviso) {
        case InstanciaUnica::Aviso::Alternar:
            return kAlternar;
        case InstanciaUnica::Aviso::Empezar:
            return kEmpezar;
        case InstanciaUnica::Aviso::Parar:
            return kParar;
        default:
            return kMostrar;
    }
}

}  // namespace

InstanciaUnica::InstanciaUnica(QString nombre, QObject* parent)
    : QObject(parent), nombre_(std::move(nombre)) {
    servidor_.setSocketOptions(QLocalServer::UserAccessOption);
    connect(&servidor_, &QLocalServer::newConnection, this, [this] {
        while (QLocalSocket* conexion = servidor_.nextPendingConnection()) {
            connect(conexion, &QLocalSocket::disconnected, conexion, &QObject::deleteLater);
            connect(conexion, &QLocalSocket::readyRead, this, [this, conexion] {
                const QByteArray peticion = conexion->readAll().trimmed();
                if (peticion == kMostrar) {
                    emit activada();
                } else if (peticion == kAlternar) {
                    emit alternar();
                } else if (peticion == kEmpezar) {
                    emit empezar();
                } else if (peticion == kParar) {
                    emit parar();
                }
                conexion->disconnectFromServer();
            });
        }
    });
}

QString InstanciaUnica::nombrePorDefecto() {
    return QDir(QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation))
        .filePath(QStringLiteral("sonarel.sock"));
}

bool InstanciaUnica::reclamar(Aviso aviso) {
    if (avisarALaQueCorre(aviso)) {
        return false;
    }
    if (servidor_.listen(nombre_)) {
        return true;
    }
    if (servidor_.serverError() == QAbstractSocket::AddressInUseError) {
        // Either a copy began listening just now, or a socket was left behind by a copy that
        // ended abruptly and nobody answers on it.
        if (avisarALaQueCorre(aviso)) {
            return false;
        }
        QLocalServer::removeServer(nombre_);
    }
    // Without a socket (an unwritable runtime folder) this copy still runs; later starts
    // then cannot find it.
    servidor_.listen(nombre_);
    return true;
}

bool InstanciaUnica::avisarALaQueCorre(Aviso aviso) {
    QLocalSocket socket;
    socket.connectToServer(nombre_);
    if (!socket.waitForConnected(kEsperaMs)) {
        return false;
    }
    if (aviso == Aviso::Ninguno) {
        return true;
    }
    socket.write(peticionDe(aviso) + '\n');
    socket.waitForBytesWritten(kEsperaMs);
    // The running copy closes the connection once it has read the request.
    if (socket.state() == QLocalSocket::ConnectedState) {
        socket.waitForDisconnected(kEsperaMs);
    }
    return true;
}

}  // namespace sonarel
