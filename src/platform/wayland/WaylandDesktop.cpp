#include "platform/wayland/WaylandDesktop.h"

#include "platform/Logging.h"

#include "platform/MainThread.h"
#include "platform/x11/FocusedWindow.h"

#include <QClipboard>
#include <QCoreApplication>
#include <QGuiApplication>
#include <QPointer>

namespace sonarel::wayland {
namespace {

bool isPaste(Keystroke k) {
    return k.virtualKey == kPasteKeystroke.virtualKey && k.modifiers == kPasteKeystroke.modifiers;
}

bool isReturn(Keystroke k) {
    return k.virtualKey == kReturnKeystroke.virtualKey && !k.modifiers;
}

// An application reached through one of its windows.
class WaylandApplication : public RunningApplication {
public:
    WaylandApplication(std::shared_ptr<const Toplevel> toplevel, qint64 pid,
                       std::optional<QString> name, QPointer<WaylandDesktop> desktop,
                       std::function<std::shared_ptr<const Toplevel>(const QString&)> sibling)
        : toplevel_(std::move(toplevel)),
          pid_(pid),
          name_(std::move(name)),
          desktop_(std::move(desktop)),
          sibling_(std::move(sibling)) {}

    qint64 processIdentifier() const override { return pid_; }
    std::optional<QString> applicationId() const override {
        return toplevel_->appId.isEmpty() ? std::nullopt : std::optional<QString>(toplevel_->appId);
    }
    std::optional<QString> displayName() const override { return name_; }
    // Ended once none of the application's windows is open.
    bool isTerminated() const override { return current() == nullptr; }
    // The compositor lists application windows only, never panels or the like.
    bool hasNormalWindow() const override { return true; }
    void activate() override {
        if (const auto target = current(); target && desktop_) {
            desktop_->expectActivation(target);
            desktop_->activate(*target);
        }
    }

private:
    std::shared_ptr<const Toplevel> current() const {
        if (!toplevel_->closed) {
            return toplevel_;
        }
        return toplevel_->appId.isEmpty() || !desktop_ ? nullptr : sibling_(toplevel_->appId);
    }

    std::shared_ptr<const Toplevel> toplevel_;
    qint64 pid_;
    std::optional<QString> name_;
    QPointer<WaylandDesktop> desktop_;
    std::function<std::shared_ptr<const Toplevel>(const QString&)> sibling_;
};

}  // namespace

QString noKeyboardNotice() {
    return QStringLiteral(
        "No se pudo escribir en la aplicación: el escritorio ya no acepta teclas de Sonarel. El "
        "texto quedó en el portapapeles.");
}

QString notActivatedNotice() {
    return QStringLiteral(
        "Este escritorio no deja que Sonarel traiga otra aplicación al frente: el texto quedó en "
        "el portapapeles.");
}

WaylandDesktop::WaylandDesktop(Parts parts, Clock& clock, TerminalTest isTerminal,
                               QStringList ownIds, DesktopNotices& notices)
    : parts_(std::move(parts)),
      clock_(clock),
      isTerminal_(std::move(isTerminal)),
      ownIds_(std::move(ownIds)),
      notices_(notices) {
    if (parts_.toplevels) {
        connect(parts_.toplevels.get(), &WindowList::activated, this,
                [this](const std::shared_ptr<const Toplevel>& toplevel) {
                    emit applicationActivated(applicationOf(toplevel));
                });
    }
    if (parts_.clipboard) {
        connect(parts_.clipboard.get(), &DataControlClipboard::read, this, [this] {
            if (lastPasteAt_ > kDistantPast) {
                pasteReadAt_ = clock_.now();
            }
        });
    }
    if (parts_.x11Selection) {
        connect(parts_.x11Selection.get(), &x11::SelectionWatch::listed, this,
                [this](bool primary) { listed_[primary] = true; });
        // GNOME's clipboard manager fetches every new clipboard at once; a terminal pastes
        // the primary selection: only the selection the paste used tells that it was read.
        connect(parts_.x11Selection.get(), &x11::SelectionWatch::read, this, [this](bool primary) {
            if (lastPasteAt_ > kDistantPast && primary == pasteUsesPrimary_) {
                pasteReadAt_ = clock_.now();
            }
        });
    }
}

WaylandDesktop::~WaylandDesktop() = default;

Application WaylandDesktop::applicationOf(const std::shared_ptr<const Toplevel>& toplevel) {
    if (!toplevel) {
        return nullptr;
    }
    // The compositor names no process: this one's windows are known by their id.
    const bool own = ownIds_.contains(toplevel->appId, Qt::CaseInsensitive);
    std::optional<QString> name;
    if (const auto entry = entries_.byId(toplevel->appId)) {
        name = entry->name;
    } else if (const auto byClass = entries_.byWindowClass(toplevel->appId)) {
        name = byClass->name;
    } else if (!toplevel->appId.isEmpty()) {
        name = toplevel->appId;
    }
    QPointer<WaylandDesktop> self(this);
    return std::make_shared<WaylandApplication>(
        toplevel, own ? processIdentifier() : 0, name, self,
        [self](const QString& appId) -> std::shared_ptr<const Toplevel> {
            if (!self || !self->parts_.toplevels) {
                return nullptr;
            }
            for (const auto& other : self->parts_.toplevels->open()) {
                if (other->appId == appId) {
                    return other;
                }
            }
            return nullptr;
        });
}

bool WaylandDesktop::ownWindowHasFocus() {
    return x11::ownWindowHasFocus();
}

Application WaylandDesktop::frontmostApplication() {
    return parts_.toplevels ? applicationOf(parts_.toplevels->focused()) : nullptr;
}

std::vector<Application> WaylandDesktop::runningApplications() {
    std::vector<Application> apps;
    if (!parts_.toplevels) {
        return apps;
    }
    QStringList seen;
    for (const auto& toplevel : parts_.toplevels->open()) {
        if (!toplevel->appId.isEmpty() && seen.contains(toplevel->appId)) {
            continue;
        }
        seen << toplevel->appId;
        apps.push_back(applicationOf(toplevel));
    }
    return apps;
}

qint64 WaylandDesktop::processIdentifier() const {
    return QCoreApplication::applicationPid();
}

std::optional<QString> WaylandDesktop::applicationId() const {
    return ownIds_.value(0);
}

void WaylandDesktop::setClipboardText(const QString& text) {
    if (parts_.clipboard && parts_.connection && !parts_.connection->broken()) {
        parts_.clipboard->setText(text);
        return;
    }
    // Qt's clipboard only reaches applications while one of this process's windows has focus.
    qCDebug(logDesktop) << "no data-control clipboard: the text goes to Qt's clipboard";
    QClipboard* clipboard = QGuiApplication::clipboard();
    clipboard->setText(text, QClipboard::Clipboard);
    listed_[0] = false;
    listed_[1] = !clipboard->supportsSelection();
    if (clipboard->supportsSelection()) {
        clipboard->setText(text, QClipboard::Selection);
    }
    selectionSetAt_ = clock_.now();
}

KeyboardRoute* WaylandDesktop::route() const {
    for (const auto& route : parts_.routes) {
        if (route->usable()) {
            return route.get();
        }
    }
    return nullptr;
}

bool WaylandDesktop::mayPostKeystrokes() {
    return route() != nullptr;
}

void WaylandDesktop::requestKeystrokeAccess() {
    for (const auto& route : parts_.routes) {
        route->requestAccess();
    }
}

std::vector<std::uint32_t> WaylandDesktop::chord(Keystroke keystroke) const {
    if (isPaste(keystroke)) {
        // Where nothing says what is in front (on GNOME, an application off the accessibility
        // bus), Shift+Insert, which pastes in terminals and ordinary text fields alike, both
        // selections holding the text.
        const auto front = parts_.toplevels ? parts_.toplevels->focused() : nullptr;
        const bool terminal = !front || (isTerminal_ && isTerminal_(front->appId));
        return terminal ? std::vector<std::uint32_t>{kKeysymShiftL, kKeysymInsert}
                        : std::vector<std::uint32_t>{kKeysymControlL, kKeysymV};
    }
    if (isReturn(keystroke)) {
        return {kKeysymReturn};
    }
    return {};
}

bool WaylandDesktop::postKeystroke(Keystroke keystroke) {
    if (!route() || chord(keystroke).empty()) {
        return false;
    }
    queue_.push_back({keystroke, clock_.now()});
    pump();
    if (!queue_.empty() && !poll_) {
        poll_ = clock_.every(kPollInterval, [this] { pump(); });
    }
    return true;
}

void WaylandDesktop::setShortcutHeld(bool held) {
    shortcutHeld_ = held;
}

void WaylandDesktop::commandRan() {
    commandRanAt_ = clock_.now();
}

void WaylandDesktop::expectActivation(std::shared_ptr<const Toplevel> toplevel) {
    awaited_ = std::move(toplevel);
    awaitedSince_ = clock_.now();
}

void WaylandDesktop::activate(const Toplevel& toplevel) {
    if (parts_.toplevels) {
        parts_.toplevels->activate(toplevel);
    }
}

bool WaylandDesktop::ready(const Queued& queued) const {
    const double now = clock_.now();
    if (awaited_ && !awaited_->activated && !awaited_->closed &&
        now - awaitedSince_ < kActivationWait) {
        return false;
    }
    if (isPaste(queued.keystroke) && !bridged()) {
        return false;
    }
    if (isReturn(queued.keystroke)) {
        if (!parts_.clipboard && !parts_.x11Selection) {
            if (now - lastPasteAt_ < kReturnAfterPaste) {
                return false;
            }
        } else if (pasteReadAt_ < lastPasteAt_ || now - pasteReadAt_ < kReturnAfterRead) {
            return false;
        }
    }
    if (const KeyboardRoute* next = route();
        next && next->sharesHeldKeys() && now - commandRanAt_ < kBindingKeysUp) {
        return false;
    }
    return !shortcutHeld_ || now - queued.queuedAt >= kReleaseWait;
}

bool WaylandDesktop::activationFailed() const {
    return awaited_ && !awaited_->activated && !awaited_->closed &&
           clock_.now() - awaitedSince_ >= kActivationWait;
}

bool WaylandDesktop::bridged() const {
    if (!parts_.x11Selection || (listed_[0] && listed_[1])) {
        return true;
    }
    return clock_.now() - selectionSetAt_ >= kBridgeWait;
}

bool WaylandDesktop::orphanReturn(const Queued& queued) const {
    if (!isReturn(queued.keystroke)) {
        return false;
    }
    if (lastPasteAt_ == kDistantPast) {
        return true;
    }
    const bool seesReads = parts_.clipboard || parts_.x11Selection;
    return seesReads && pasteReadAt_ < lastPasteAt_ &&
           clock_.now() - lastPasteAt_ >= kPasteReadWait;
}

void WaylandDesktop::send(Keystroke keystroke) {
    const std::vector<std::uint32_t> keys = chord(keystroke);
    // A route that fails (its permission withdrawn, its service gone) gives way to the next.
    for (const auto& route : parts_.routes) {
        if (route->usable() && route->send(keys)) {
            if (isPaste(keystroke)) {
                lastPasteAt_ = clock_.now();
                pasteUsesPrimary_ = keys.back() == kKeysymInsert;
                qCDebug(logDesktop)
                    << (pasteUsesPrimary_ ? "paste sent as Shift+Insert" : "paste sent as Ctrl+V");
            } else if (isReturn(keystroke)) {
                lastPasteAt_ = kDistantPast;  // one Return for one paste
            }
            return;
        }
    }
    emit notices_.notice(noKeyboardNotice());
}

void WaylandDesktop::pump() {
    if (!queue_.empty() && activationFailed()) {
        qCWarning(logDesktop) << "the application to type into was not in front within"
                              << kActivationWait << "s: its keystrokes are dropped";
        queue_.clear();
        awaited_.reset();
        lastPasteAt_ = kDistantPast;  // a Return still to come follows no paste
        emit notices_.notice(notActivatedNotice());
    }
    while (!queue_.empty() && (orphanReturn(queue_.front()) || ready(queue_.front()))) {
        if (orphanReturn(queue_.front())) {
            qCWarning(logDesktop) << "Return not sent: the application did not read the pasted "
                                     "text within"
                                  << kPasteReadWait << "s, or no paste went before it";
            queue_.pop_front();
            continue;
        }
        if (isPaste(queue_.front().keystroke) && !(listed_[0] && listed_[1]) &&
            parts_.x11Selection) {
            qCDebug(logDesktop) << "the compositor did not take the selection within" << kBridgeWait
                                << "s: pasting anyway";
        }
        awaited_.reset();
        const Keystroke keystroke = queue_.front().keystroke;
        queue_.pop_front();
        send(keystroke);
    }
    if (queue_.empty() && poll_) {
        // Not from inside the poll timer's own callback.
        postToMain([self = QPointer(this)] {
            if (self && self->queue_.empty()) {
                self->poll_.reset();
            }
        });
    }
}

}  // namespace sonarel::wayland
