#include "platform/wayland/ForeignToplevels.h"

#include "wlr-foreign-toplevel-management-unstable-v1-client-protocol.h"

#include <wayland-client.h>

#include <algorithm>

namespace sonarel::wayland {
std::unique_ptr<ForeignToplevels> ForeignToplevels::create(WaylandConnection& connection) {
    if (!connection.toplevels()) {
        return nullptr;
    }
    std::unique_ptr<ForeignToplevels> list(new ForeignToplevels(connection));
    connection.roundtrip();  // the windows already open
    return list;
}

ForeignToplevels::ForeignToplevels(WaylandConnection& connection) : connection_(connection) {
    static const zwlr_foreign_toplevel_manager_v1_listener listener{
        &ForeignToplevels::onToplevel, [](void*, zwlr_foreign_toplevel_manager_v1*) {}};
    zwlr_foreign_toplevel_manager_v1_add_listener(connection.toplevels(), &listener, this);
}

ForeignToplevels::~ForeignToplevels() {
    if (connection_.broken()) {
        return;
    }
    for (const auto& entry : entries_) {
        zwlr_foreign_toplevel_handle_v1_destroy(entry->handle);
    }
    zwlr_foreign_toplevel_manager_v1_stop(connection_.toplevels());
    connection_.flush();
}

void ForeignToplevels::onToplevel(void* data, zwlr_foreign_toplevel_manager_v1*,
                                  zwlr_foreign_toplevel_handle_v1* handle) {
    static const zwlr_foreign_toplevel_handle_v1_listener listener{
        [](void* d, zwlr_foreign_toplevel_handle_v1*, const char* title) {
            static_cast<Entry*>(d)->nextTitle = QString::fromUtf8(title);
        },
        [](void* d, zwlr_foreign_toplevel_handle_v1*, const char* appId) {
            static_cast<Entry*>(d)->nextAppId = QString::fromUtf8(appId);
        },
        [](void*, zwlr_foreign_toplevel_handle_v1*, wl_output*) {},
        [](void*, zwlr_foreign_toplevel_handle_v1*, wl_output*) {},
        [](void* d, zwlr_foreign_toplevel_handle_v1*, wl_array* states) {
            bool activated = false;
            const auto* state = static_cast<const std::uint32_t*>(states->data);
            for (std::size_t i = 0; i < states->size / sizeof(std::uint32_t); ++i) {
                activated =
                    activated || state[i] == ZWLR_FOREIGN_TOPLEVEL_HANDLE_V1_STATE_ACTIVATED;
            }
            static_cast<Entry*>(d)->nextActivated = activated;
        },
        [](void* d, zwlr_foreign_toplevel_handle_v1*) {
            auto* entry = static_cast<Entry*>(d);
            entry->owner->done(*entry);
        },
        [](void* d, zwlr_foreign_toplevel_handle_v1*) {
            auto* entry = static_cast<Entry*>(d);
            entry->owner->closed(*entry);
        },
    };
    auto* self = static_cast<ForeignToplevels*>(data);
    self->entries_.push_back(
        std::make_unique<Entry>(Entry{self, handle, std::make_shared<Toplevel>(), {}, {}, false}));
    zwlr_foreign_toplevel_handle_v1_add_listener(handle, &listener, self->entries_.back().get());
}

void ForeignToplevels::done(Entry& entry) {
    Toplevel& toplevel = *entry.state;
    const bool gained = entry.nextActivated && !toplevel.activated;
    toplevel.appId = entry.nextAppId;
    toplevel.title = entry.nextTitle;
    toplevel.activated = entry.nextActivated;
    if (gained) {
        emit activated(entry.state);
    }
}

void ForeignToplevels::closed(Entry& entry) {
    entry.state->closed = true;
    entry.state->activated = false;
    zwlr_foreign_toplevel_handle_v1_destroy(entry.handle);
    std::erase_if(entries_, [&](const auto& e) { return e.get() == &entry; });
}

std::vector<std::shared_ptr<const Toplevel>> ForeignToplevels::open() const {
    std::vector<std::shared_ptr<const Toplevel>> list;
    for (const auto& entry : entries_) {
        list.push_back(entry->state);
    }
    return list;
}

std::shared_ptr<const Toplevel> ForeignToplevels::focused() const {
    for (const auto& entry : entries_) {
        if (entry->state->activated) {
            return entry->state;
        }
    }
    return nullptr;
}

void ForeignToplevels::activate(const Toplevel& toplevel) {
    for (const auto& entry : entries_) {
        if (entry->state.get() == &toplevel && connection_.seat()) {
            zwlr_foreign_toplevel_handle_v1_activate(entry->handle, connection_.seat());
            connection_.flush();
        }
    }
}

}  // namespace sonarel::wayland
