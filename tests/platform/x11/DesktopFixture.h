#pragma once

#include "delivery/Paster.h"
#include "delivery/Terminales.h"
#include "platform/QtClock.h"
#include "platform/x11/X11Desktop.h"
#include "support/EventLoop.h"

#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <list>

namespace sonarel::testing {

// The real X11 desktop services of the test desktop, with real programs to type into.
class DesktopFixture : public ::testing::Test {
protected:
    void SetUp() override {
        desktop_ = x11::X11Desktop::create(
            clock_, [](const QString& id) { return terminales().contains(id); });
        ASSERT_TRUE(desktop_) << "needs the X11 test desktop";
        paster_ = std::make_unique<Paster>(*desktop_, clock_);
    }

    void TearDown() override {
        for (QProcess& process : processes_) {
            process.kill();
            process.waitForFinished(2000);
        }
    }

    QString outputPath(const QString& name) const { return dir_.filePath(name); }

    static QByteArray read(const QString& path) {
        QFile file(path);
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }

    // Waits until the file holds `expected`; answers what it holds.
    static QByteArray awaitContents(const QString& path, const QByteArray& expected,
                                    double seconds = 3) {
        waitUntil([&] { return read(path) == expected; }, seconds);
        return read(path);
    }

    QProcess& launch(const QString& program, const QStringList& arguments) {
        QProcess& process = processes_.emplace_back();
        process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        process.start(program, arguments);
        return process;
    }

    // Starts a terminal whose shell writes everything typed into it to `output`, unbuffered.
    QProcess& launchTerminal(const QString& terminal, const QString& output) {
        const QString shell = QStringLiteral("stty -icanon; exec cat > '%1'").arg(output);
        const QStringList command{QStringLiteral("sh"), QStringLiteral("-c"), shell};
        if (terminal == QLatin1String("kitty")) {
            return launch(terminal, command);
        }
        return launch(terminal, QStringList{QStringLiteral("-e")} + command);
    }

    QProcess& launchTextField(const QString& output) {
        return launch(QStringLiteral(SONAREL_TEXTFIELD), {output});
    }

    // Waits until the process's window is in front and its activation has been announced.
    bool awaitFront(const QProcess& process, double seconds = 10) {
        return waitUntil(
            [&] {
                Application front = desktop_->frontmostApplication();
                const Application& announced = paster_->appAnterior();
                return front && front->processIdentifier() == process.processId() && announced &&
                       announced->processIdentifier() == process.processId();
            },
            seconds);
    }

    static bool installed(const QString& program) {
        return !QStandardPaths::findExecutable(program).isEmpty();
    }

    // What another client reads from a selection; this process may own it, so the event loop
    // keeps running meanwhile.
    static QByteArray selection(const char* which) {
        QProcess xclip;
        xclip.start(QStringLiteral("xclip"), {QStringLiteral("-o"), QStringLiteral("-selection"),
                                              QString::fromLatin1(which)});
        waitUntil([&] { return xclip.state() == QProcess::NotRunning; }, 3);
        return xclip.readAllStandardOutput();
    }

    static void xdotool(const QStringList& arguments) {
        QProcess::execute(QStringLiteral("xdotool"), arguments);
    }

    QTemporaryDir dir_;
    QtClock clock_;
    std::unique_ptr<x11::X11Desktop> desktop_;
    std::unique_ptr<Paster> paster_;
    std::list<QProcess> processes_;
};

}  // namespace sonarel::testing
