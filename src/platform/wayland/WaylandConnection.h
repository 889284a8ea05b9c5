#pragma once

#include <QObject>
#include <QSocketNotifier>

#include <cstdint>
#include <memory>

struct wl_compositor;
struct wl_display;
struct wl_registry;
struct wl_seat;
struct wl_shm;
struct zwlr_layer_shell_v1;
struct zwlr_data_control_manager_v1;
struct zwlr_foreign_toplevel_manager_v1;
struct zwp_virtual_keyboard_manager_v1;
struct org_kde_plasma_window_management;

namespace sonarel::wayland {

// A connection of this process's own to the compositor, beside whatever Qt uses for its windows,
// dispatched on the main thread's event loop. It binds the first seat, the surfaces and shared
// memory, the wlroots protocols that text delivery and the floating panel use, and KWin's window
// list, each where the compositor offers it.
class WaylandConnection : public QObject {
    Q_OBJECT

public:
    // None when no compositor answers (no WAYLAND_DISPLAY, or a dead socket). The globals are
    // bound; their events are not read yet, so that a listener added now hears them all.
    static std::unique_ptr<WaylandConnection> connect();
    ~WaylandConnection() override;

    wl_display* display() const { return display_; }
    wl_seat* seat() const { return seat_; }
    zwlr_data_control_manager_v1* dataControl() const { return dataControl_; }
    zwp_virtual_keyboard_manager_v1* virtualKeyboards() const { return virtualKeyboards_; }
    zwlr_foreign_toplevel_manager_v1* toplevels() const { return toplevels_; }
    org_kde_plasma_window_management* plasmaWindows() const { return plasmaWindows_; }
    wl_compositor* compositor() const { return compositor_; }
    wl_shm* shm() const { return shm_; }
    zwlr_layer_shell_v1* layerShell() const { return layerShell_; }
    std::uint32_t dataControlVersion() const { return dataControlVersion_; }

    // Sends what was requested so far; answers false once the connection is broken.
    bool flush();
    // Waits until the compositor has handled every request sent so far.
    bool roundtrip();
    bool broken() const { return broken_; }

signals:
    // The compositor closed the connection or sent a protocol error.
    void lost();

private:
    explicit WaylandConnection(wl_display* display);
    static void global(void* data, wl_registry* registry, std::uint32_t name, const char* interface,
                       std::uint32_t version);
    void dispatch();
    void fail();

    wl_display* display_;
    wl_registry* registry_ = nullptr;
    wl_seat* seat_ = nullptr;
    zwlr_data_control_manager_v1* dataControl_ = nullptr;
    zwp_virtual_keyboard_manager_v1* virtualKeyboards_ = nullptr;
    zwlr_foreign_toplevel_manager_v1* toplevels_ = nullptr;
    org_kde_plasma_window_management* plasmaWindows_ = nullptr;
    wl_compositor* compositor_ = nullptr;
    wl_shm* shm_ = nullptr;
    zwlr_layer_shell_v1* layerShell_ = nullptr;
    std::uint32_t dataControlVersion_ = 0;
    std::unique_ptr<QSocketNotifier> notifier_;
    bool broken_ = false;
};

}  // namespace sonarel::wayland
