#include "history/Historial.h"

#include "platform/Logging.h"
#include "platform/PrivateFiles.h"

#include <QDir>
#include <QStandardPaths>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace sonarel {
namespace {

bool isTrimmedAway(QChar c) {
    const char16_t u = c.unicode();
    return u == u'\t' || (u >= 0x0A && u <= 0x0D) || u == 0x85 ||
           c.category() == QChar::Separator_Space || c.category() == QChar::Separator_Line ||
           c.category() == QChar::Separator_Paragraph;
}

QString trimmed(const QString& text) {
    qsizetype begin = 0;
    qsizetype end = text.size();
    while (begin < end && isTrimmedAway(text[begin])) {
        ++begin;
    }
    while (end > begin && isTrimmedAway(text[end - 1])) {
        --end;
    }
    return text.mid(begin, end - begin);
}

// One write(2) on an O_APPEND descriptor: the kernel places the whole entry at the end of the
// file, even with another process appending at the same time. O_CREAT without O_TRUNC never
// shortens an existing file.
void append(const QString& path, const QByteArray& bytes) {
    const int fd = ::open(QFile::encodeName(path).constData(),
                          O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0600);
    if (fd < 0) {
        qCWarning(logHistory) << "cannot open" << path << ":" << qt_error_string(errno);
        return;
    }
    // A file made before it was private becomes so at its next entry.
    ::fchmod(fd, 0600);
    qsizetype done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::write(fd, bytes.constData() + done, bytes.size() - done);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n <= 0) {
            qCWarning(logHistory) << "entry cut short in" << path << ":" << qt_error_string(errno);
            break;
        }
        done += n;
    }
    ::close(fd);
}

}  // namespace

Historial::Historial(const Clock& clock) : clock_(clock) {}

QString Historial::carpeta() const {
    const QString folder = QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation) +
                           QStringLiteral("/Sonarel");
    if (!makePrivateFolder(folder)) {
        qCWarning(logHistory) << "cannot create the folder" << folder;
    }
    return folder;
}

void Historial::guardar(const QString& texto) const {
    const QString text = trimmed(texto);
    if (text.isEmpty()) {
        return;
    }
    // One reading of the clock, so that an entry written as a month ends is stamped with the
    // month of the file it lands in.
    const QDateTime now = clock_.currentDateTime();
    const QString entry = QStringLiteral("\n\n===== ") +
                          now.toString(QStringLiteral("yyyy-MM-dd HH:mm:ss")) +
                          QStringLiteral(" =====\n") + text + QStringLiteral("\n");
    const QString file = carpeta() + QStringLiteral("/dictados-") +
                         now.toString(QStringLiteral("yyyy-MM")) + QStringLiteral(".txt");
    append(file, entry.toUtf8());
}

}  // namespace sonarel
