#include "platform/doubles/FakeDesktop.h"

namespace sonarel::doubles {

FakeApplication::FakeApplication(FakeDesktop& desktop, qint64 pid, std::optional<QString> bundleId,
                                 std::optional<QString> name)
    : pid(pid), bundleId(std::move(bundleId)), name(std::move(name)), desktop_(desktop) {}

void FakeApplication::activate() {
    ++activations;
    for (const Application& app : desktop_.running) {
        if (app.get() == this) {
            desktop_.bringToFront(app);
            return;
        }
    }
}

FakeDesktop::FakeDesktop(const Clock& clock, qint64 ownPid, std::optional<QString> ownBundleId)
    : clock_(clock), ownPid_(ownPid), ownBundleId_(std::move(ownBundleId)) {}

std::shared_ptr<FakeApplication> FakeDesktop::launch(qint64 pid, std::optional<QString> bundleId,
                                                     std::optional<QString> name) {
    auto app = std::make_shared<FakeApplication>(*this, pid, std::move(bundleId), std::move(name));
    running.push_back(app);
    return app;
}

void FakeDesktop::bringToFront(const Application& application) {
    frontmost = application;
    if (application) {
        emit applicationActivated(application);
    }
}

void FakeDesktop::setClipboardText(const QString& text) {
    clipboard = text;
    ++clipboardWrites;
}

bool FakeDesktop::postKeystroke(Keystroke keystroke) {
    if (keystrokesFail) {
        return false;
    }
    QString front;
    if (frontmost) {
        front = frontmost->bundleIdentifier().value_or(QString());
    }
    posted.push_back({keystroke, clock_.now(), front});
    return true;
}

}  // namespace sonarel::doubles
