#pragma once

#include <QByteArray>

namespace sonarel::wayland {

// Writes `bytes` to `fd` as the reader takes them, without blocking the main thread, and then
// closes it; a reader that goes away early only ends the write. Takes ownership of `fd`.
void writeAndClose(int fd, QByteArray bytes);

}  // namespace sonarel::wayland
