#include "app/SenalesDeSalida.h"

#include <QSocketNotifier>

#include <fcntl.h>
#include <sys/socket.h>
#include <unistd.h>
#include <csignal>

namespace sonarel {
namespace {

// The handler may only write(2): a byte into this pair wakes the main thread.
int tubo[2] = {-1, -1};

void alRecibir(int) {
    const char byte = 1;
    [[maybe_unused]] const ssize_t escrito = ::write(tubo[0], &byte, 1);
}

}  // namespace

SenalesDeSalida::SenalesDeSalida(QObject* parent) : QObject(parent) {
    if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0, tubo) != 0) {
        return;
    }
    aviso_ = new QSocketNotifier(tubo[1], QSocketNotifier::Read, this);
    connect(aviso_, &QSocketNotifier::activated, this, [this] {
        char bytes[16];
        while (::read(tubo[1], bytes, sizeof bytes) > 0) {
        }
        emit recibida();
    });
    struct sigaction accion {};
    accion.sa_handler = alRecibir;
    sigemptyset(&accion.sa_mask);
    accion.sa_flags = SA_RESTART;
    ::sigaction(SIGTERM, &accion, nullptr);
    ::sigaction(SIGINT, &accion, nullptr);
}

SenalesDeSalida::~SenalesDeSalida() {
    std::signal(SIGTERM, SIG_DFL);
    std::signal(SIGINT, SIG_DFL);
}

}  // namespace sonarel
