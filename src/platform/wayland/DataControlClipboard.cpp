#include "platform/wayland/DataControlClipboard.h"

#include "platform/wayland/PipeWriter.h"
#include "wlr-data-control-unstable-v1-client-protocol.h"

#include <wayland-client.h>

#include <unistd.h>

namespace sonarel::wayland {
namespace {

// Every name under which text applications ask for plain UTF-8 text.
constexpr const char* kTextTypes[] = {"text/plain;charset=utf-8", "text/plain", "UTF8_STRING",
                                      "TEXT", "STRING"};

// The device's events are not needed: this process only ever offers.
void onDataOffer(void*, zwlr_data_control_device_v1*, zwlr_data_control_offer_v1* offer) {
    zwlr_data_control_offer_v1_destroy(offer);
}
void onSelection(void*, zwlr_data_control_device_v1*, zwlr_data_control_offer_v1*) {}
void onFinished(void*, zwlr_data_control_device_v1*) {}

const zwlr_data_control_device_v1_listener kDeviceListener{&onDataOffer, &onSelection, &onFinished,
                                                           &onSelection};

}  // namespace

std::unique_ptr<DataControlClipboard> DataControlClipboard::create(WaylandConnection& connection) {
    if (!connection.dataControl() || !connection.seat()) {
        return nullptr;
    }
    zwlr_data_control_device_v1* device =
        zwlr_data_control_manager_v1_get_data_device(connection.dataControl(), connection.seat());
    zwlr_data_control_device_v1_add_listener(device, &kDeviceListener, nullptr);
    return std::unique_ptr<DataControlClipboard>(new DataControlClipboard(connection, device));
}

DataControlClipboard::DataControlClipboard(WaylandConnection& connection,
                                           zwlr_data_control_device_v1* device)
    : connection_(connection), device_(device) {}

DataControlClipboard::~DataControlClipboard() {
    zwlr_data_control_device_v1_destroy(device_);
    connection_.flush();
}

zwlr_data_control_source_v1* DataControlClipboard::offerText() {
    static const zwlr_data_control_source_v1_listener listener{&DataControlClipboard::send,
                                                               &DataControlClipboard::cancelled};
    zwlr_data_control_source_v1* source =
        zwlr_data_control_manager_v1_create_data_source(connection_.dataControl());
    for (const char* type : kTextTypes) {
        zwlr_data_control_source_v1_offer(source, type);
    }
    zwlr_data_control_source_v1_add_listener(source, &listener, this);
    return source;
}

void DataControlClipboard::setText(const QString& text) {
    text_ = text.toUtf8();
    zwlr_data_control_device_v1_set_selection(device_, offerText());
    if (connection_.dataControlVersion() >= 2) {
        zwlr_data_control_device_v1_set_primary_selection(device_, offerText());
    }
    connection_.flush();
}

void DataControlClipboard::send(void* data, zwlr_data_control_source_v1*, const char*, int fd) {
    auto* self = static_cast<DataControlClipboard*>(data);
    writeAndClose(fd, self->text_);
    emit self->read();
}

void DataControlClipboard::cancelled(void*, zwlr_data_control_source_v1* source) {
    zwlr_data_control_source_v1_destroy(source);
}

}  // namespace sonarel::wayland
