#pragma once

#include "platform/x11/X11Session.h"

#include <QAbstractNativeEventFilter>
#include <QObject>

#include <memory>

namespace sonarel::x11 {

// The requests other clients make for the selections this process holds through Qt's X11
// clipboard. Under XWayland the compositor's bridge makes them: it lists the targets when it
// takes over a new selection for Wayland clients, and fetches the text when one of them pastes.
class SelectionWatch : public QObject, public QAbstractNativeEventFilter {
    Q_OBJECT

public:
    // None unless the application runs on X11.
    static std::unique_ptr<SelectionWatch> create();
    ~SelectionWatch() override;

    bool nativeEventFilter(const QByteArray& eventType, void* message, qintptr* result) override;

signals:
    // A client asked for the list of targets of CLIPBOARD, or of PRIMARY when `primary`.
    void listed(bool primary);
    // A client asked for the contents.
    void read(bool primary);

private:
    explicit SelectionWatch(X11Session session);

    X11Session session_;
    xcb_atom_t clipboard_;
    xcb_atom_t targets_;
    xcb_atom_t timestamp_;
};

}  // namespace sonarel::x11
