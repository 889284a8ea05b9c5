// How long a dictation's delivery takes on a wlroots desktop: from the stop handler's paste into
// foot (data-control clipboard, virtual-keyboard Shift+Insert, Return 0.15 s later) until foot's
// shell has the line. Run on the sway test desktop (scripts/test-wayland-desktop).
//   wayland_paste_bench [ROUNDS]
#include "delivery/Paster.h"
#include "delivery/Terminales.h"
#include "platform/QtClock.h"
#include "platform/wayland/ForeignToplevels.h"
#include "platform/wayland/VirtualKeyboard.h"
#include "platform/wayland/WaylandDesktop.h"

#include <QDeadlineTimer>
#include <QFile>
#include <QGuiApplication>
#include <QProcess>
#include <QTemporaryDir>
#include <QThread>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <vector>

namespace {

using namespace sonarel;

double seconds() {
    return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

bool waitUntil(const std::function<bool()>& done, double limit) {
    QDeadlineTimer deadline(static_cast<qint64>(limit * 1000));
    while (!done()) {
        if (deadline.hasExpired()) {
            return false;
        }
        QCoreApplication::processEvents(QEventLoop::AllEvents, 2);
        QThread::usleep(200);
    }
    return true;
}

void report(const char* what, std::vector<double> ms, int rounds) {
    if (ms.empty()) {
        std::printf("%-44s all %d lost\n", what, rounds);
        return;
    }
    std::sort(ms.begin(), ms.end());
    const auto at = [&](double q) { return ms[static_cast<size_t>(q * (ms.size() - 1))]; };
    std::printf("%-44s n=%zu  p50 %7.2f ms  p95 %7.2f ms  max %7.2f ms  lost %d\n", what, ms.size(),
                at(0.5), at(0.95), ms.back(), rounds - static_cast<int>(ms.size()));
}

}  // namespace

int main(int argc, char** argv) {
    QGuiApplication app(argc, argv);
    const int rounds = std::max(1, app.arguments().value(1, QStringLiteral("30")).toInt());
    QtClock clock;
    DesktopNotices notices;
    wayland::WaylandDesktop::Parts parts;
    parts.connection = wayland::WaylandConnection::connect();
    if (parts.connection) {
        parts.toplevels = wayland::ForeignToplevels::create(*parts.connection);
        parts.clipboard = wayland::DataControlClipboard::create(*parts.connection);
        if (auto keyboard = wayland::VirtualKeyboard::create(*parts.connection)) {
            parts.routes.push_back(std::move(keyboard));
        }
    }
    if (!parts.toplevels || !parts.clipboard || parts.routes.empty()) {
        std::fprintf(stderr, "wayland_paste_bench: needs a wlroots compositor\n");
        return 1;
    }
    wayland::WaylandDesktop desktop(
        std::move(parts), clock, [](const QString& id) { return terminales().contains(id); },
        {QStringLiteral("sonarel")}, notices);
    Paster paster(desktop, clock);

    QTemporaryDir dir;
    const QString lines = dir.filePath(QStringLiteral("lines"));
    QProcess foot;
    foot.start(QStringLiteral("foot"),
               {QStringLiteral("sh"), QStringLiteral("-c"),
                QStringLiteral("while IFS= read -r l; do printf '%s\\n' \"$l\" >> '%1'; done")
                    .arg(lines)});
    if (!waitUntil(
            [&] {
                const Application front = desktop.frontmostApplication();
                return front && front->applicationId() == QStringLiteral("foot");
            },
            10)) {
        std::fprintf(stderr, "wayland_paste_bench: foot never came to the front\n");
        return 1;
    }

    std::vector<double> totalMs;
    std::vector<double> beyondMs;
    for (int i = 0; i < rounds; ++i) {
        const QString line = QStringLiteral("dictado número %1 con ñandú").arg(i);
        const double start = seconds();
        paster.pegarEnFoco(line, true);
        double landed = -1;
        waitUntil(
            [&] {
                QFile file(lines);
                if (file.open(QIODevice::ReadOnly) &&
                    QString::fromUtf8(file.readAll()).endsWith(line + QLatin1Char('\n'))) {
                    landed = seconds();
                }
                return landed >= 0;
            },
            5);
        if (landed >= 0) {
            totalMs.push_back((landed - start) * 1000);
            beyondMs.push_back((landed - start - Paster::kReturnDelay) * 1000);
        }
    }
    report("stop to the line in foot", totalMs, rounds);
    report("the same beyond the 0.15 s Return delay", beyondMs, rounds);
    foot.kill();
    foot.waitForFinished(2000);
    return 0;
}
