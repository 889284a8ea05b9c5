#include "platform/wayland/LayerShellPanels.h"

#include "wlr-layer-shell-unstable-v1-client-protocol.h"

#include <QApplication>
#include <QImage>
#include <QPainter>
#include <QPointer>
#include <QScreen>
#include <QTimer>
#include <QWidget>
#include <QWindow>

#include <wayland-client.h>

#include <sys/mman.h>
#include <unistd.h>

#include <cstring>
#include <vector>

namespace sonarel::wayland {
namespace {

constexpr int kFrameMs = 33;
constexpr std::uint32_t kNoKeyboard = 0;

// A picture in memory shared with the compositor, busy from its attachment to its release.
class SharedImage {
public:
    static std::unique_ptr<SharedImage> create(wl_shm* shm, QSize size) {
        const int stride = size.width() * 4;
        const std::size_t bytes = static_cast<std::size_t>(stride) * size.height();
        const int fd = memfd_create("sonarel-panel", MFD_CLOEXEC);
        if (fd < 0 || ftruncate(fd, static_cast<off_t>(bytes)) < 0) {
            if (fd >= 0) {
                ::close(fd);
            }
            return nullptr;
        }
        void* data = mmap(nullptr, bytes, PROT_READ | PROT_WRITE, MAP_SHARED, fd, 0);
        if (data == MAP_FAILED) {
            ::close(fd);
            return nullptr;
        }
        wl_shm_pool* pool = wl_shm_create_pool(shm, fd, static_cast<std::int32_t>(bytes));
        // Qt's premultiplied ARGB32 is the compositor's ARGB8888 on little-endian machines.
        wl_buffer* buffer = wl_shm_pool_create_buffer(pool, 0, size.width(), size.height(), stride,
                                                      WL_SHM_FORMAT_ARGB8888);
        wl_shm_pool_destroy(pool);
        ::close(fd);
        return std::unique_ptr<SharedImage>(new SharedImage(buffer, data, bytes, size));
    }

    ~SharedImage() {
        if (buffer_) {
            wl_buffer_destroy(buffer_);
        }
        munmap(data_, bytes_);
    }

    // The connection is gone, and its objects with it.
    void forget() { buffer_ = nullptr; }

    wl_buffer* buffer() const { return buffer_; }
    QSize size() const { return size_; }
    bool busy() const { return busy_; }
    void fill(const QImage& frame) {
        std::memcpy(data_, frame.constBits(), bytes_);
        busy_ = true;
    }

private:
    SharedImage(wl_buffer* buffer, void* data, std::size_t bytes, QSize size)
        : buffer_(buffer), data_(data), bytes_(bytes), size_(size) {
        static const wl_buffer_listener listener{
            [](void* self, wl_buffer*) { static_cast<SharedImage*>(self)->busy_ = false; }};
        wl_buffer_add_listener(buffer_, &listener, this);
    }

    wl_buffer* buffer_;
    void* data_;
    std::size_t bytes_;
    QSize size_;
    bool busy_ = false;
};

// Shows one panel widget as a layer surface while the widget is shown: its drawing, at its
// opacity, with the distance from the bottom of its screen that the widget was placed at.
class LayerMirror : public QObject {
public:
    LayerMirror(QWidget& widget, WaylandConnection& connection, x11::X11PanelWindowing& fallback)
        : QObject(&widget), widget_(widget), connection_(&connection), fallback_(fallback) {
        widget_.setAttribute(Qt::WA_DontShowOnScreen);
        widget_.installEventFilter(this);
        timer_.setInterval(kFrameMs);
        connect(&timer_, &QTimer::timeout, this, &LayerMirror::frame);
        connect(&connection, &WaylandConnection::lost, this, &LayerMirror::giveUp);
    }

    ~LayerMirror() override {
        if (!connection_) {
            for (const auto& image : images_) {
                image->forget();
            }
            return;
        }
        unmap();
        images_.clear();
        connection_->flush();
    }

protected:
    bool eventFilter(QObject*, QEvent* event) override {
        if (event->type() == QEvent::Show) {
            map();
            timer_.start();
        } else if (event->type() == QEvent::Hide) {
            timer_.stop();
            unmap();
            connection_->flush();
        }
        return false;
    }

private:
    bool alive() const { return connection_ && !connection_->broken(); }

    int bottomMargin() const {
        const QScreen* screen = widget_.screen();
        return screen ? std::max(0, screen->geometry().bottom() - widget_.geometry().bottom()) : 0;
    }

    void map() {
        if (!alive() || layer_) {
            return;
        }
        surface_ = wl_compositor_create_surface(connection_->compositor());
        wl_region* nothing = wl_compositor_create_region(connection_->compositor());
        wl_surface_set_input_region(surface_, nothing);
        wl_region_destroy(nothing);
        layer_ =
            zwlr_layer_shell_v1_get_layer_surface(connection_->layerShell(), surface_, nullptr,
                                                  ZWLR_LAYER_SHELL_V1_LAYER_OVERLAY, "sonarel");
        static const zwlr_layer_surface_v1_listener listener{&LayerMirror::configured,
                                                             &LayerMirror::closed};
        zwlr_layer_surface_v1_add_listener(layer_, &listener, this);
        zwlr_layer_surface_v1_set_anchor(layer_, ZWLR_LAYER_SURFACE_V1_ANCHOR_BOTTOM);
        zwlr_layer_surface_v1_set_keyboard_interactivity(layer_, kNoKeyboard);
        place();
        wl_surface_commit(surface_);
        connection_->flush();
    }

    void unmap() {
        if (!alive()) {
            return;
        }
        if (layer_) {
            zwlr_layer_surface_v1_destroy(layer_);
            layer_ = nullptr;
        }
        if (surface_) {
            wl_surface_destroy(surface_);
            surface_ = nullptr;
        }
        configured_ = false;
        shown_ = QImage();
    }

    // Size and place: double-buffered, they take effect with the next commit.
    void place() {
        size_ = widget_.size();
        margin_ = bottomMargin();
        zwlr_layer_surface_v1_set_size(layer_, static_cast<std::uint32_t>(size_.width()),
                                       static_cast<std::uint32_t>(size_.height()));
        zwlr_layer_surface_v1_set_margin(layer_, 0, 0, margin_, 0);
    }

    static void configured(void* data, zwlr_layer_surface_v1* layer, std::uint32_t serial,
                           std::uint32_t, std::uint32_t) {
        auto* self = static_cast<LayerMirror*>(data);
        zwlr_layer_surface_v1_ack_configure(layer, serial);
        self->configured_ = true;
        self->frame();
    }

    // The output went away, say: a new surface at the next frame.
    static void closed(void* data, zwlr_layer_surface_v1*) {
        static_cast<LayerMirror*>(data)->unmap();
    }

    void frame() {
        if (!alive() || widget_.size().isEmpty()) {
            return;
        }
        if (!layer_) {
            map();
            return;
        }
        if (!configured_) {
            return;
        }
        if (widget_.size() != size_ || bottomMargin() != margin_) {
            place();
            shown_ = QImage();  // the new size and place go with the next picture
        }
        QImage drawing(size_, QImage::Format_ARGB32_Premultiplied);
        drawing.fill(Qt::transparent);
        widget_.render(&drawing);
        QImage frame(size_, QImage::Format_ARGB32_Premultiplied);
        frame.fill(Qt::transparent);
        {
            QPainter painter(&frame);
            painter.setOpacity(widget_.windowOpacity());
            painter.drawImage(0, 0, drawing);
        }
        if (frame == shown_) {
            return;
        }
        SharedImage* image = freeImage();
        if (!image) {
            return;  // both still with the compositor: the next frame shows it
        }
        image->fill(frame);
        shown_ = frame;
        wl_surface_attach(surface_, image->buffer(), 0, 0);
        wl_surface_damage(surface_, 0, 0, size_.width(), size_.height());
        wl_surface_commit(surface_);
        connection_->flush();
    }

    SharedImage* freeImage() {
        std::erase_if(images_,
                      [&](const auto& image) { return !image->busy() && image->size() != size_; });
        for (const auto& image : images_) {
            if (!image->busy()) {
                return image.get();
            }
        }
        if (images_.size() >= 2) {
            return nullptr;
        }
        auto image = SharedImage::create(connection_->shm(), size_);
        images_.push_back(std::move(image));
        return images_.back().get();
    }

    // Without the compositor's connection the widget shows itself, as an X11 panel.
    void giveUp() {
        timer_.stop();
        layer_ = nullptr;
        surface_ = nullptr;
        images_.clear();
        widget_.removeEventFilter(this);
        widget_.setAttribute(Qt::WA_DontShowOnScreen, false);
        if (QWindow* window = widget_.windowHandle()) {
            fallback_.prepare(*window);
        }
        if (widget_.isVisible()) {
            widget_.hide();
            widget_.show();
        }
        deleteLater();
    }

    QWidget& widget_;
    QPointer<WaylandConnection> connection_;
    x11::X11PanelWindowing& fallback_;
    QTimer timer_;
    wl_surface* surface_ = nullptr;
    zwlr_layer_surface_v1* layer_ = nullptr;
    bool configured_ = false;
    QSize size_;
    int margin_ = 0;
    QImage shown_;
    std::vector<std::unique_ptr<SharedImage>> images_;
};

}  // namespace

std::unique_ptr<LayerShellPanels> LayerShellPanels::create() {
    auto connection = WaylandConnection::connect();
    if (!connection || !connection->layerShell() || !connection->compositor() ||
        !connection->shm()) {
        return nullptr;
    }
    return std::unique_ptr<LayerShellPanels>(new LayerShellPanels(std::move(connection)));
}

LayerShellPanels::LayerShellPanels(std::unique_ptr<WaylandConnection> connection)
    : connection_(std::move(connection)) {}

void LayerShellPanels::prepare(QWindow& window) {
    QWidget* widget = nullptr;
    for (QWidget* candidate : QApplication::topLevelWidgets()) {
        if (candidate->windowHandle() == &window) {
            widget = candidate;
        }
    }
    if (!widget || connection_->broken()) {
        fallback_.prepare(window);
        return;
    }
    new LayerMirror(*widget, *connection_, fallback_);
}

}  // namespace sonarel::wayland
