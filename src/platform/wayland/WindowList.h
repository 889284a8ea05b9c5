#pragma once

#include <QObject>
#include <QString>

#include <memory>
#include <vector>

namespace sonarel::wayland {

// What the compositor says about one top-level window.
struct Toplevel {
    QString appId;
    QString title;
    bool activated = false;
    bool closed = false;
};

// The compositor's top-level windows, from whichever source it offers: which one has the focus,
// their application ids in the order they appeared, and activation. Main thread only.
class WindowList : public QObject {
    Q_OBJECT

public:
    using QObject::QObject;

    // The windows still open, oldest first.
    virtual std::vector<std::shared_ptr<const Toplevel>> open() const = 0;
    virtual std::shared_ptr<const Toplevel> focused() const = 0;
    // Asks the compositor to focus the window; takes effect asynchronously.
    virtual void activate(const Toplevel& toplevel) = 0;

signals:
    // A window received the focus (also when it is the one it had before it was closed).
    void activated(std::shared_ptr<const sonarel::wayland::Toplevel> toplevel);
};

}  // namespace sonarel::wayland
