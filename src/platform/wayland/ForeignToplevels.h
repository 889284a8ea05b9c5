#pragma once

#include "platform/wayland/WaylandConnection.h"
#include "platform/wayland/WindowList.h"

#include <memory>
#include <vector>

struct zwlr_foreign_toplevel_handle_v1;

namespace sonarel::wayland {

// The compositor's top-level windows through the wlroots foreign-toplevel protocol.
class ForeignToplevels : public WindowList {
public:
    // None unless the compositor offers the protocol.
    static std::unique_ptr<ForeignToplevels> create(WaylandConnection& connection);
    ~ForeignToplevels() override;

    std::vector<std::shared_ptr<const Toplevel>> open() const override;
    std::shared_ptr<const Toplevel> focused() const override;
    void activate(const Toplevel& toplevel) override;

private:
    // What the handle's events reach.
    struct Entry {
        ForeignToplevels* owner;
        zwlr_foreign_toplevel_handle_v1* handle;
        std::shared_ptr<Toplevel> state;
        // Pending until the compositor's "done" for this window.
        QString nextAppId;
        QString nextTitle;
        bool nextActivated = false;
    };

    explicit ForeignToplevels(WaylandConnection& connection);
    static void onToplevel(void* data, zwlr_foreign_toplevel_manager_v1*,
                           zwlr_foreign_toplevel_handle_v1* handle);
    void done(Entry& entry);
    void closed(Entry& entry);

    WaylandConnection& connection_;
    std::vector<std::unique_ptr<Entry>> entries_;
};

}  // namespace sonarel::wayland
