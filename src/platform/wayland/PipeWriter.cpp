#include "platform/wayland/PipeWriter.h"

#include <QCoreApplication>
#include <QSocketNotifier>

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>

namespace sonarel::wayland {

void writeAndClose(int fd, QByteArray bytes) {
    // A reader that closes its end must not end this process.
    static const bool ignored = [] { return std::signal(SIGPIPE, SIG_IGN) != SIG_ERR; }();
    (void)ignored;
    fcntl(fd, F_SETFL, fcntl(fd, F_GETFL) | O_NONBLOCK);
    auto* notifier = new QSocketNotifier(fd, QSocketNotifier::Write, QCoreApplication::instance());
    qsizetype written = 0;
    const auto pump = [notifier, fd, bytes = std::move(bytes), written]() mutable {
        while (written < bytes.size()) {
            const ssize_t n = ::write(fd, bytes.constData() + written,
                                      static_cast<size_t>(bytes.size() - written));
            if (n < 0 && errno == EAGAIN) {
                return;  // the reader has not caught up: wait for the next notification
            }
            if (n <= 0 && errno != EINTR) {
                break;
            }
            written += n > 0 ? n : 0;
        }
        notifier->setEnabled(false);
        notifier->deleteLater();
        ::close(fd);
    };
    QObject::connect(notifier, &QSocketNotifier::activated, notifier, pump);
}

}  // namespace sonarel::wayland
