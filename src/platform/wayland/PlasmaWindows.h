#pragma once

#include "platform/wayland/WaylandConnection.h"
#include "platform/wayland/WindowList.h"

#include <cstdint>
#include <memory>
#include <vector>

struct org_kde_plasma_window;
struct org_kde_plasma_window_management;

namespace sonarel::wayland {

// KWin's top-level windows through its Plasma window management protocol. KWin offers it only to
// programs whose desktop file, found by the program's executable path, lists
// org_kde_plasma_window_management in X-KDE-Wayland-Interfaces.
class PlasmaWindows : public WindowList {
public:
    // None unless the compositor offers the protocol to this program.
    static std::unique_ptr<PlasmaWindows> create(WaylandConnection& connection);
    ~PlasmaWindows() override;

    std::vector<std::shared_ptr<const Toplevel>> open() const override;
    std::shared_ptr<const Toplevel> focused() const override;
    void activate(const Toplevel& toplevel) override;

private:
    // What a window's events reach.
    struct Entry {
        PlasmaWindows* owner;
        org_kde_plasma_window* handle;
        std::shared_ptr<Toplevel> state;
        std::uint32_t flags = 0;
        // KWin has sent everything it knows about the window.
        bool known = false;
    };

    explicit PlasmaWindows(WaylandConnection& connection);
    static void onWindow(void* data, org_kde_plasma_window_management*, std::uint32_t,
                         const char* uuid);
    void changed(Entry& entry);
    void unmapped(Entry& entry);

    WaylandConnection& connection_;
    std::vector<std::unique_ptr<Entry>> entries_;
};

}  // namespace sonarel::wayland
