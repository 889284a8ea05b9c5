#pragma once

#include <QDBusArgument>
#include <QList>
#include <QMetaType>
#include <QString>
#include <QVariantMap>

namespace sonarel::portal {

// A shortcut as the GlobalShortcuts portal exchanges it: (sa{sv}).
struct Shortcut {
    QString id;
    QVariantMap properties;
};
using Shortcuts = QList<Shortcut>;

// Registers the D-Bus marshalling of Shortcut and Shortcuts; safe to call more than once.
void registerShortcutTypes();

QDBusArgument& operator<<(QDBusArgument& argument, const Shortcut& shortcut);
const QDBusArgument& operator>>(const QDBusArgument& argument, Shortcut& shortcut);

}  // namespace sonarel::portal

Q_DECLARE_METATYPE(sonarel::portal::Shortcut)
