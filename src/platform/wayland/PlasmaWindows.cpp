#include "platform/wayland/PlasmaWindows.h"

#include "plasma-window-management-client-protocol.h"

#include <wayland-client.h>

#include <algorithm>

namespace sonarel::wayland {

std::unique_ptr<PlasmaWindows> PlasmaWindows::create(WaylandConnection& connection) {
    if (!connection.plasmaWindows()) {
        return nullptr;
    }
    std::unique_ptr<PlasmaWindows> list(new PlasmaWindows(connection));
    connection.roundtrip();  // the windows already open
    connection.roundtrip();  // what KWin knows about each of them
    return list;
}

PlasmaWindows::PlasmaWindows(WaylandConnection& connection) : connection_(connection) {
    static const org_kde_plasma_window_management_listener listener{
        .show_desktop_changed = [](void*, org_kde_plasma_window_management*, std::uint32_t) {},
        // The announcement of older versions; windows are fetched by the uuid of the next one.
        .window = [](void*, org_kde_plasma_window_management*, std::uint32_t) {},
        .stacking_order_changed = [](void*, org_kde_plasma_window_management*, wl_array*) {},
        .stacking_order_uuid_changed = [](void*, org_kde_plasma_window_management*, const char*) {},
        .window_with_uuid = &PlasmaWindows::onWindow,
    };
    org_kde_plasma_window_management_add_listener(connection.plasmaWindows(), &listener, this);
}

PlasmaWindows::~PlasmaWindows() {
    if (connection_.broken()) {
        return;
    }
    for (const auto& entry : entries_) {
        org_kde_plasma_window_destroy(entry->handle);
    }
    connection_.flush();
}

void PlasmaWindows::onWindow(void* data, org_kde_plasma_window_management* manager, std::uint32_t,
                             const char* uuid) {
    using Window = org_kde_plasma_window;
    // Every event the window may receive needs a function, those ignored included.
    static const org_kde_plasma_window_listener listener{
        .title_changed =
            [](void* d, Window*, const char* title) {
                static_cast<Entry*>(d)->state->title = QString::fromUtf8(title);
            },
        .app_id_changed =
            [](void* d, Window*, const char* appId) {
                static_cast<Entry*>(d)->state->appId = QString::fromUtf8(appId);
            },
        .state_changed =
            [](void* d, Window*, std::uint32_t flags) {
                auto* entry = static_cast<Entry*>(d);
                entry->flags = flags;
                entry->owner->changed(*entry);
            },
        .virtual_desktop_changed = [](void*, Window*, std::int32_t) {},
        .themed_icon_name_changed = [](void*, Window*, const char*) {},
        .unmapped =
            [](void* d, Window*) {
                auto* entry = static_cast<Entry*>(d);
                entry->owner->unmapped(*entry);
            },
        .initial_state =
            [](void* d, Window*) {
                auto* entry = static_cast<Entry*>(d);
                entry->known = true;
                entry->owner->changed(*entry);
            },
        .parent_window = [](void*, Window*, Window*) {},
        .geometry = [](void*, Window*, std::int32_t, std::int32_t, std::uint32_t, std::uint32_t) {},
        .icon_changed = [](void*, Window*) {},
        .pid_changed = [](void*, Window*, std::uint32_t) {},
        .virtual_desktop_entered = [](void*, Window*, const char*) {},
        .virtual_desktop_left = [](void*, Window*, const char*) {},
        .application_menu = [](void*, Window*, const char*, const char*) {},
        .activity_entered = [](void*, Window*, const char*) {},
        .activity_left = [](void*, Window*, const char*) {},
        .resource_name_changed = [](void*, Window*, const char*) {},
    };
    auto* self = static_cast<PlasmaWindows*>(data);
    Window* handle = org_kde_plasma_window_management_get_window_by_uuid(manager, uuid);
    self->entries_.push_back(
        std::make_unique<Entry>(Entry{self, handle, std::make_shared<Toplevel>()}));
    org_kde_plasma_window_add_listener(handle, &listener, self->entries_.back().get());
}

// Until KWin has told all it knows, the window stays out of the list and its focus unannounced.
void PlasmaWindows::changed(Entry& entry) {
    if (!entry.known) {
        return;
    }
    const bool active = entry.flags & ORG_KDE_PLASMA_WINDOW_MANAGEMENT_STATE_ACTIVE;
    const bool gained = active && !entry.state->activated;
    entry.state->activated = active;
    if (gained) {
        emit activated(entry.state);
    }
}

void PlasmaWindows::unmapped(Entry& entry) {
    entry.state->closed = true;
    entry.state->activated = false;
    org_kde_plasma_window_destroy(entry.handle);
    std::erase_if(entries_, [&](const auto& e) { return e.get() == &entry; });
}

std::vector<std::shared_ptr<const Toplevel>> PlasmaWindows::open() const {
    std::vector<std::shared_ptr<const Toplevel>> list;
    for (const auto& entry : entries_) {
        if (entry->known) {
            list.push_back(entry->state);
        }
    }
    return list;
}

std::shared_ptr<const Toplevel> PlasmaWindows::focused() const {
    for (const auto& entry : entries_) {
        if (entry->state->activated) {
            return entry->state;
        }
    }
    return nullptr;
}

void PlasmaWindows::activate(const Toplevel& toplevel) {
    for (const auto& entry : entries_) {
        if (entry->state.get() == &toplevel) {
            // A minimized window comes back as it is activated.
            org_kde_plasma_window_set_state(entry->handle,
                                            ORG_KDE_PLASMA_WINDOW_MANAGEMENT_STATE_ACTIVE |
                                                ORG_KDE_PLASMA_WINDOW_MANAGEMENT_STATE_MINIMIZED,
                                            ORG_KDE_PLASMA_WINDOW_MANAGEMENT_STATE_ACTIVE);
            connection_.flush();
        }
    }
}

}  // namespace sonarel::wayland
