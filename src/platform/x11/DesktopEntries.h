#pragma once

#include <QHash>
#include <QString>

#include <optional>

namespace sonarel::x11 {

// The installed applications' desktop files, read once: what each is called, and which window
// class it announces (StartupWMClass).
class DesktopEntries {
public:
    struct Entry {
        QString id;  // the file name without ".desktop"
        QString name;
    };

    // Reads $XDG_DATA_HOME/applications and the applications folders of $XDG_DATA_DIRS; the
    // earlier folder wins for a file id.
    DesktopEntries();

    std::optional<Entry> byId(const QString& id) const;
    std::optional<Entry> byWindowClass(const QString& windowClass) const;

private:
    void read(const QString& path, const QString& id);

    QHash<QString, Entry> byId_;
    QHash<QString, Entry> byClass_;
};

}  // namespace sonarel::x11
