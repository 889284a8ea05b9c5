#include "platform/x11/DesktopEntries.h"

#include <QDir>
#include <QFile>
#include <QLocale>
#include <QStandardPaths>
#include <QTextStream>

namespace sonarel::x11 {

DesktopEntries::DesktopEntries() {
    const QStringList folders =
        QStandardPaths::locateAll(QStandardPaths::GenericDataLocation,
                                  QStringLiteral("applications"), QStandardPaths::LocateDirectory);
    for (const QString& folder : folders) {
        const QDir dir(folder);
        for (const QString& file : dir.entryList({QStringLiteral("*.desktop")}, QDir::Files)) {
            const QString id = file.chopped(8);
            if (!byId_.contains(id)) {
                read(dir.filePath(file), id);
            }
        }
    }
}

void DesktopEntries::read(const QString& path, const QString& id) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly | QIODevice::Text)) {
        return;
    }
    const QString localized =
        QStringLiteral("Name[%1]=").arg(QLocale::system().name().section(QLatin1Char('_'), 0, 0));
    QString name;
    QString localName;
    QString windowClass;
    bool inMainGroup = false;
    QTextStream in(&file);
    for (QString line; in.readLineInto(&line);) {
        if (line.startsWith(QLatin1Char('['))) {
            inMainGroup = line == QLatin1String("[Desktop Entry]");
        } else if (inMainGroup) {
            if (line.startsWith(QLatin1String("Name="))) {
                name = line.mid(5).trimmed();
            } else if (line.startsWith(localized)) {
                localName = line.mid(localized.size()).trimmed();
            } else if (line.startsWith(QLatin1String("StartupWMClass="))) {
                windowClass = line.mid(15).trimmed();
            }
        }
    }
    const Entry entry{id, localName.isEmpty() ? name : localName};
    byId_.insert(id, entry);
    if (!windowClass.isEmpty() && !byClass_.contains(windowClass)) {
        byClass_.insert(windowClass, entry);
    }
}

std::optional<DesktopEntries::Entry> DesktopEntries::byId(const QString& id) const {
    auto it = byId_.constFind(id);
    return it == byId_.constEnd() ? std::nullopt : std::optional<Entry>(*it);
}

std::optional<DesktopEntries::Entry> DesktopEntries::byWindowClass(
    const QString& windowClass) const {
    auto it = byClass_.constFind(windowClass);
    return it == byClass_.constEnd() ? std::nullopt : std::optional<Entry>(*it);
}

}  // namespace sonarel::x11
