#include "platform/doubles/FakeDesktop.h"

namespace sonarel::doubles {

FakeApplication::FakeApplication(FakeDesktop& desktop, qint64 pid,
                                 std::optional<QString> applicationId, std::optional<QString> name)
    : pid(pid), id(std::move(applicationId)), name(std::move(name)), desktop_(desktop) {}

void FakeApplication::activate() {
    ++activations;
    for (const Application& app : desktop_.running) {
        if (app.get() == this) {
            desktop_.bringToFront(app);
            return;
        }
    }
}

FakeDesktop::FakeDesktop(const Clock& clock, qint64 ownPid, std::optional<QString> ownApplicationId)
    : clock_(clock), ownPid_(ownPid), ownApplicationId_(std::move(ownApplicationId)) {}

std::shared_ptr<FakeApplication> FakeDesktop::launch(qint64 pid,
                                                     std::optional<QString> applicationId,
                                                     std::optional<QString> name) {
    auto app =
        std::make_shared<FakeApplication>(*this, pid, std::move(applicationId), std::move(name));
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
        front = frontmost->applicationId().value_or(QString());
    }
    posted.push_back({keystroke, clock_.now(), front});
    return true;
}

}  // namespace sonarel::doubles
