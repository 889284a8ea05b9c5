#pragma once

#include "platform/Clock.h"
#include "platform/Desktop.h"

#include <QStringList>

namespace sonarel::doubles {

class FakeDesktop;

// An application whose every answer a test sets.
class FakeApplication : public RunningApplication {
public:
    FakeApplication(FakeDesktop& desktop, qint64 pid, std::optional<QString> applicationId,
                    std::optional<QString> name = std::nullopt);
    qint64 processIdentifier() const override { return pid; }
    std::optional<QString> applicationId() const override { return id; }
    std::optional<QString> displayName() const override { return name; }
    bool isTerminated() const override { return terminated; }
    bool hasNormalWindow() const override { return normalWindow; }
    // Makes it frontmost and announces the activation, as a desktop would a moment later.
    void activate() override;

    qint64 pid;
    std::optional<QString> id;
    std::optional<QString> name;
    bool terminated = false;
    bool normalWindow = true;
    int activations = 0;

private:
    FakeDesktop& desktop_;
};

// A desktop held entirely in memory. Keystrokes are recorded with the clock's time.
class FakeDesktop : public Desktop {
    Q_OBJECT

public:
    struct Posted {
        Keystroke keystroke;
        double at;
        QString frontmost;  // identifier of the frontmost application when posted, if any
    };

    explicit FakeDesktop(
        const Clock& clock, qint64 ownPid = 100,
        std::optional<QString> ownApplicationId = QStringLiteral("org.sonarel.Sonarel"));

    // Adds a running application (at the end of the list) and answers its handle.
    std::shared_ptr<FakeApplication> launch(qint64 pid, std::optional<QString> applicationId,
                                            std::optional<QString> name = std::nullopt);
    // Makes `application` frontmost (none for no frontmost) and emits the activation.
    void bringToFront(const Application& application);

    Application frontmostApplication() override { return frontmost; }
    std::vector<Application> runningApplications() override { return running; }
    qint64 processIdentifier() const override { return ownPid_; }
    std::optional<QString> applicationId() const override { return ownApplicationId_; }
    bool ownWindowHasFocus() override { return ownWindowFocused; }
    void setClipboardText(const QString& text) override;
    bool mayPostKeystrokes() override { return trusted; }
    void requestKeystrokeAccess() override { ++accessRequests; }
    bool postKeystroke(Keystroke keystroke) override;

    Application frontmost;
    std::vector<Application> running;
    bool trusted = true;            // what mayPostKeystrokes answers
    bool ownWindowFocused = false;  // what ownWindowHasFocus answers
    bool keystrokesFail = false;
    int accessRequests = 0;
    QString clipboard;
    int clipboardWrites = 0;
    std::vector<Posted> posted;

private:
    const Clock& clock_;
    qint64 ownPid_;
    std::optional<QString> ownApplicationId_;
};

}  // namespace sonarel::doubles
