#include <QByteArray>
#include <QtGlobal>

// Widgets that are painted into images or only checked for state need no display server: set
// before the test main creates the application.
[[maybe_unused]] static const bool offscreen = qputenv("QT_QPA_PLATFORM", QByteArray("offscreen"));
