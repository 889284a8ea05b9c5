#pragma once

#include <xcb/xcb.h>

#include <cstdlib>
#include <memory>

namespace sonarel::x11 {

template <typename Reply>
using ReplyPtr = std::unique_ptr<Reply, decltype(&std::free)>;

// Waits for a reply and drops any error, so that a vanished window is simply an absent answer
// (otherwise the error would reach Qt's event queue, which reports it).
template <typename Reply, typename Cookie>
ReplyPtr<Reply> owned(Reply* (*fetch)(xcb_connection_t*, Cookie, xcb_generic_error_t**),
                      xcb_connection_t* connection, Cookie cookie) {
    xcb_generic_error_t* error = nullptr;
    Reply* reply = fetch(connection, cookie, &error);
    std::free(error);
    return ReplyPtr<Reply>(reply, &std::free);
}

// Waits for a checked request; answers its error code, 0 when it succeeded.
inline int errorOf(xcb_connection_t* connection, xcb_void_cookie_t cookie) {
    xcb_generic_error_t* error = xcb_request_check(connection, cookie);
    const int code = error ? error->error_code : 0;
    std::free(error);
    return code;
}

}  // namespace sonarel::x11
