#include "platform/wayland/WaylandConnection.h"

#include "platform/Logging.h"

#include "plasma-window-management-client-protocol.h"
#include "virtual-keyboard-unstable-v1-client-protocol.h"
#include "wlr-data-control-unstable-v1-client-protocol.h"
#include "wlr-foreign-toplevel-management-unstable-v1-client-protocol.h"
#include "wlr-layer-shell-unstable-v1-client-protocol.h"

#include <QAbstractEventDispatcher>
#include <QCoreApplication>

#include <wayland-client.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

namespace sonarel::wayland {
namespace {

void noGlobalRemoved(void*, wl_registry*, std::uint32_t) {}

}  // namespace

std::unique_ptr<WaylandConnection> WaylandConnection::connect() {
    if (qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY")) {
        return nullptr;
    }
    wl_display* display = wl_display_connect(nullptr);
    if (!display) {
        return nullptr;
    }
    std::unique_ptr<WaylandConnection> connection(new WaylandConnection(display));
    // One round trip, for the globals: the managers' first events (the windows already open) come
    // with the next one, once their users listen.
    if (!connection->roundtrip()) {
        return nullptr;
    }
    return connection;
}

WaylandConnection::WaylandConnection(wl_display* display) : display_(display) {
    static const wl_registry_listener listener{&WaylandConnection::global, &noGlobalRemoved};
    registry_ = wl_display_get_registry(display_);
    wl_registry_add_listener(registry_, &listener, this);

    notifier_ =
        std::make_unique<QSocketNotifier>(wl_display_get_fd(display_), QSocketNotifier::Read);
    QObject::connect(notifier_.get(), &QSocketNotifier::activated, this,
                     &WaylandConnection::dispatch);
    // Requests made by the application's own code go out before the loop sleeps.
    if (auto* dispatcher = QAbstractEventDispatcher::instance()) {
        QObject::connect(dispatcher, &QAbstractEventDispatcher::aboutToBlock, this,
                         &WaylandConnection::flush);
    }
}

WaylandConnection::~WaylandConnection() {
    notifier_.reset();
    wl_display_disconnect(display_);
}

void WaylandConnection::global(void* data, wl_registry* registry, std::uint32_t name,
                               const char* interface, std::uint32_t version) {
    auto* self = static_cast<WaylandConnection*>(data);
    const auto bind = [&](const wl_interface* wanted, std::uint32_t upTo) {
        return wl_registry_bind(registry, name, wanted, std::min(version, upTo));
    };
    if (std::strcmp(interface, wl_seat_interface.name) == 0 && !self->seat_) {
        self->seat_ = static_cast<wl_seat*>(bind(&wl_seat_interface, 1));
    } else if (std::strcmp(interface, zwlr_data_control_manager_v1_interface.name) == 0) {
        self->dataControlVersion_ = std::min<std::uint32_t>(version, 2);
        self->dataControl_ = static_cast<zwlr_data_control_manager_v1*>(
            bind(&zwlr_data_control_manager_v1_interface, 2));
    } else if (std::strcmp(interface, zwp_virtual_keyboard_manager_v1_interface.name) == 0) {
        self->virtualKeyboards_ = static_cast<zwp_virtual_keyboard_manager_v1*>(
            bind(&zwp_virtual_keyboard_manager_v1_interface, 1));
    } else if (std::strcmp(interface, zwlr_foreign_toplevel_manager_v1_interface.name) == 0) {
        self->toplevels_ = static_cast<zwlr_foreign_toplevel_manager_v1*>(
            bind(&zwlr_foreign_toplevel_manager_v1_interface, 1));
    } else if (std::strcmp(interface, org_kde_plasma_window_management_interface.name) == 0 &&
               version >= ORG_KDE_PLASMA_WINDOW_MANAGEMENT_WINDOW_WITH_UUID_SINCE_VERSION) {
        // Windows are announced by uuid from that version on; 16 is the newest known here.
        self->plasmaWindows_ = static_cast<org_kde_plasma_window_management*>(
            bind(&org_kde_plasma_window_management_interface, 16));
    } else if (std::strcmp(interface, wl_compositor_interface.name) == 0) {
        self->compositor_ = static_cast<wl_compositor*>(bind(&wl_compositor_interface, 4));
    } else if (std::strcmp(interface, wl_shm_interface.name) == 0) {
        self->shm_ = static_cast<wl_shm*>(bind(&wl_shm_interface, 1));
    } else if (std::strcmp(interface, zwlr_layer_shell_v1_interface.name) == 0) {
        self->layerShell_ =
            static_cast<zwlr_layer_shell_v1*>(bind(&zwlr_layer_shell_v1_interface, 1));
    }
}

bool WaylandConnection::flush() {
    if (broken_) {
        return false;
    }
    if (wl_display_dispatch_pending(display_) < 0 ||
        (wl_display_flush(display_) < 0 && errno != EAGAIN)) {
        fail();
    }
    return !broken_;
}

bool WaylandConnection::roundtrip() {
    if (!broken_ && wl_display_roundtrip(display_) < 0) {
        fail();
    }
    return !broken_;
}

void WaylandConnection::dispatch() {
    if (broken_) {
        return;
    }
    if (wl_display_prepare_read(display_) == 0) {
        if (wl_display_read_events(display_) < 0) {
            fail();
            return;
        }
    }
    if (wl_display_dispatch_pending(display_) < 0) {
        fail();
    }
}

void WaylandConnection::fail() {
    qCWarning(logDesktop) << "the connection to the Wayland compositor broke:"
                          << qt_error_string(wl_display_get_error(display_));
    broken_ = true;
    notifier_->setEnabled(false);
    emit lost();
}

}  // namespace sonarel::wayland
