#pragma once

#include <QObject>
#include <QString>

namespace sonarel {

// Where a desktop back end tells the user, in a sentence of its own, that a service did not work
// and what was done instead. Main thread only.
class DesktopNotices : public QObject {
    Q_OBJECT

public:
    using QObject::QObject;

signals:
    void notice(const QString& text);
};

}  // namespace sonarel
