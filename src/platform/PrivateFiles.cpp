#include "platform/PrivateFiles.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace sonarel {

bool makePrivateFolder(const QString& path) {
    if (!QDir().mkpath(path)) {
        return false;
    }
    ::chmod(QFile::encodeName(path).constData(), 0700);
    return true;
}

void makePrivateFile(const QString& path) {
    const QByteArray name = QFile::encodeName(path);
    if (::chmod(name.constData(), 0600) == 0) {
        return;
    }
    if (QDir().mkpath(QFileInfo(path).absolutePath())) {
        const int fd = ::open(name.constData(), O_WRONLY | O_CREAT | O_CLOEXEC, 0600);
        if (fd >= 0) {
            ::close(fd);
        }
    }
}

}  // namespace sonarel
