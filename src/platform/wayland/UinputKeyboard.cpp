#include "platform/wayland/UinputKeyboard.h"

#include <linux/uinput.h>
#include <sys/ioctl.h>

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <optional>
#include <utility>

namespace sonarel::wayland {
namespace {

constexpr std::pair<std::uint32_t, std::uint16_t> kKeys[] = {
    {kKeysymShiftL, KEY_LEFTSHIFT},
    {kKeysymControlL, KEY_LEFTCTRL},
    {kKeysymInsert, KEY_INSERT},
    {kKeysymReturn, KEY_ENTER},
    {kKeysymV, KEY_V},
};

std::optional<std::uint16_t> codeOf(std::uint32_t keysym) {
    for (const auto& [sym, code] : kKeys) {
        if (sym == keysym) {
            return code;
        }
    }
    return std::nullopt;
}

bool makeKeyboard(int fd) {
    if (ioctl(fd, UI_SET_EVBIT, EV_KEY) < 0) {
        return false;
    }
    for (const auto& [sym, code] : kKeys) {
        if (ioctl(fd, UI_SET_KEYBIT, code) < 0) {
            return false;
        }
    }
    uinput_setup setup{};
    setup.id.bustype = BUS_VIRTUAL;
    std::strncpy(setup.name, "Sonarel", UINPUT_MAX_NAME_SIZE - 1);
    return ioctl(fd, UI_DEV_SETUP, &setup) == 0 && ioctl(fd, UI_DEV_CREATE) == 0;
}

}  // namespace

std::unique_ptr<UinputKeyboard> UinputKeyboard::create(const QString& device) {
    const int fd = ::open(device.toLocal8Bit().constData(), O_WRONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        return nullptr;
    }
    if (!makeKeyboard(fd)) {
        ::close(fd);
        return nullptr;
    }
    return std::unique_ptr<UinputKeyboard>(new UinputKeyboard(fd));
}

UinputKeyboard::~UinputKeyboard() {
    if (fd_ >= 0) {
        ioctl(fd_, UI_DEV_DESTROY);
        ::close(fd_);
    }
}

bool UinputKeyboard::write(std::uint16_t type, std::uint16_t code, std::int32_t value) {
    input_event event{};
    event.type = type;
    event.code = code;
    event.value = value;
    ssize_t n;
    do {
        n = ::write(fd_, &event, sizeof event);
    } while (n < 0 && errno == EINTR);
    return n == static_cast<ssize_t>(sizeof event);
}

void UinputKeyboard::lose() {
    ::close(fd_);
    fd_ = -1;
}

bool UinputKeyboard::send(const std::vector<std::uint32_t>& keysyms) {
    std::vector<std::uint16_t> codes;
    for (std::uint32_t keysym : keysyms) {
        const std::optional<std::uint16_t> code = codeOf(keysym);
        if (!code || !usable()) {
            return false;
        }
        codes.push_back(*code);
    }
    // Each key in a report of its own, as a keyboard sends them.
    const auto key = [this](std::uint16_t code, std::int32_t value) {
        return write(EV_KEY, code, value) && write(EV_SYN, SYN_REPORT, 0);
    };
    for (std::uint16_t code : codes) {
        if (!key(code, 1)) {
            lose();  // the device went away: the next route takes over
            return false;
        }
    }
    for (auto it = codes.rbegin(); it != codes.rend(); ++it) {
        if (!key(*it, 0)) {
            lose();
            return false;
        }
    }
    return true;
}

}  // namespace sonarel::wayland
