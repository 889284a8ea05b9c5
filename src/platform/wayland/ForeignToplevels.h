#pragma once

#include "platform/wayland/WaylandConnection.h"

#include <QObject>
#include <QString>

#include <memory>
#include <vector>

struct zwlr_foreign_toplevel_handle_v1;

namespace sonarel::wayland {

// What the compositor says about one top-level window.
struct Toplevel {
    zwlr_foreign_toplevel_handle_v1* handle = nullptr;
    QString appId;
    QString title;
    bool activated = false;
    bool closed = false;
    // Pending until the compositor's "done" for this window.
    QString nextAppId;
    QString nextTitle;
    bool nextActivated = false;
};

// The compositor's list of top-level windows through the wlroots foreign-toplevel protocol: which
// one has the focus, their application ids in the order they appeared, and activation.
class ForeignToplevels : public QObject {
    Q_OBJECT

public:
    // None unless the compositor offers the protocol.
    static std::unique_ptr<ForeignToplevels> create(WaylandConnection& connection);
    ~ForeignToplevels() override;

    // The windows still open, oldest first.
    std::vector<std::shared_ptr<const Toplevel>> open() const;
    std::shared_ptr<const Toplevel> focused() const;
    // Asks the compositor to focus the window; takes effect asynchronously.
    void activate(const Toplevel& toplevel);

signals:
    // A window received the focus (also when it is the one it had before it was closed).
    void activated(std::shared_ptr<const sonarel::wayland::Toplevel> toplevel);

private:
    // What the handle's events reach.
    struct Entry {
        ForeignToplevels* owner;
        std::shared_ptr<Toplevel> state;
    };

    explicit ForeignToplevels(WaylandConnection& connection);
    static void onToplevel(void* data, zwlr_foreign_toplevel_manager_v1*,
                           zwlr_foreign_toplevel_handle_v1* handle);
    void done(Toplevel& toplevel);
    void closed(Entry& entry);

    WaylandConnection& connection_;
    std::vector<std::unique_ptr<Entry>> entries_;
};

}  // namespace sonarel::wayland
