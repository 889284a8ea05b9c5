#pragma once

#include "platform/wayland/WaylandConnection.h"

#include <QByteArray>
#include <QObject>
#include <QString>

#include <memory>

struct zwlr_data_control_device_v1;
struct zwlr_data_control_source_v1;

namespace sonarel::wayland {

// The clipboard and the primary selection through the wlroots data-control protocol, which the
// compositor honours whichever window has the focus. This process serves the text to every
// client that asks, until another client takes the selection.
class DataControlClipboard : public QObject {
    Q_OBJECT

public:
    // None unless the compositor offers data-control and a seat.
    static std::unique_ptr<DataControlClipboard> create(WaylandConnection& connection);
    ~DataControlClipboard() override;

    // Sets both the clipboard and, where the compositor has one, the primary selection.
    void setText(const QString& text);

signals:
    // Another client asked for the text this process holds.
    void read();

private:
    DataControlClipboard(WaylandConnection& connection, zwlr_data_control_device_v1* device);
    zwlr_data_control_source_v1* offerText();
    static void send(void* data, zwlr_data_control_source_v1* source, const char* mime, int fd);
    static void cancelled(void* data, zwlr_data_control_source_v1* source);

    WaylandConnection& connection_;
    zwlr_data_control_device_v1* device_;
    QByteArray text_;
};

}  // namespace sonarel::wayland
