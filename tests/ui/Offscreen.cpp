#include <QByteArray>
#include <QtGlobal>

// These widgets are painted into images, never shown: run without a display server. Set before
// the test main creates the application.
[[maybe_unused]] static const bool offscreen =
    qputenv("QT_QPA_PLATFORM", QByteArray("offscreen"));
