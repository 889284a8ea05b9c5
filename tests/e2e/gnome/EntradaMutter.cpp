// Keys into the GNOME test desktop the way its remote input goes in: one session of mutter's own
// RemoteDesktop D-Bus API (the one the portal's back end uses) for as long as standard input is
// open, so that its keyboard stays in the seat, as a physical one would: mutter adds the
// session's keyboard at its first key and removes it when the session stops, and applications
// lose keys while they rebind it. Each line of standard input is one command: chords by X
// keysym names separated by spaces (Return, shift+Insert, alt+super+d: pressed in order,
// released in reverse), done in order; "ok" or "error" is written back once they were sent.
#include <QCoreApplication>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusObjectPath>

#include <xkbcommon/xkbcommon.h>

#include <cstdio>
#include <iostream>
#include <string>

namespace {

constexpr auto kService = "org.gnome.Mutter.RemoteDesktop";
constexpr auto kSessionInterface = "org.gnome.Mutter.RemoteDesktop.Session";

QDBusConnection bus = QDBusConnection::sessionBus();
QString session;

bool call(const QString& method, const QVariantList& arguments = {}) {
    QDBusMessage message = QDBusMessage::createMethodCall(
        QString::fromLatin1(kService), session, QString::fromLatin1(kSessionInterface), method);
    message.setArguments(arguments);
    const QDBusMessage reply = bus.call(message);
    if (reply.type() != QDBusMessage::ReplyMessage) {
        std::fprintf(stderr, "%s: %s\n", qPrintable(method), qPrintable(reply.errorMessage()));
        return false;
    }
    return true;
}

std::uint32_t keysym(const QString& name) {
    QString canonical = name;
    if (name.compare(QLatin1String("alt"), Qt::CaseInsensitive) == 0) {
        canonical = QStringLiteral("Alt_L");
    } else if (name.compare(QLatin1String("super"), Qt::CaseInsensitive) == 0) {
        canonical = QStringLiteral("Super_L");
    } else if (name.compare(QLatin1String("shift"), Qt::CaseInsensitive) == 0) {
        canonical = QStringLiteral("Shift_L");
    } else if (name.compare(QLatin1String("ctrl"), Qt::CaseInsensitive) == 0) {
        canonical = QStringLiteral("Control_L");
    }
    return xkb_keysym_from_name(canonical.toLatin1().constData(), XKB_KEYSYM_CASE_INSENSITIVE);
}

bool chord(const QStringList& names) {
    std::vector<std::uint32_t> keys;
    for (const QString& name : names) {
        const std::uint32_t key = keysym(name);
        if (key == XKB_KEY_NoSymbol) {
            std::fprintf(stderr, "unknown key: %s\n", qPrintable(name));
            return false;
        }
        keys.push_back(key);
    }
    bool ok = true;
    for (std::uint32_t key : keys) {
        ok = call(QStringLiteral("NotifyKeyboardKeysym"), {key, true}) && ok;
    }
    for (auto it = keys.rbegin(); it != keys.rend(); ++it) {
        ok = call(QStringLiteral("NotifyKeyboardKeysym"), {*it, false}) && ok;
    }
    return ok;
}

}  // namespace

int main(int argc, char* argv[]) {
    QCoreApplication app(argc, argv);
    const QDBusMessage created = bus.call(QDBusMessage::createMethodCall(
        QString::fromLatin1(kService), QStringLiteral("/org/gnome/Mutter/RemoteDesktop"),
        QString::fromLatin1(kService), QStringLiteral("CreateSession")));
    if (created.type() != QDBusMessage::ReplyMessage) {
        std::fprintf(stderr, "CreateSession: %s\n", qPrintable(created.errorMessage()));
        return 1;
    }
    session = created.arguments().value(0).value<QDBusObjectPath>().path();
    // mutter 48 drops the first key of a session sent right after its start: a lone Shift goes
    // first, so that the test's first key (often the Escape that closes the overview) counts.
    if (!call(QStringLiteral("Start")) || !chord({QStringLiteral("shift")})) {
        return 1;
    }
    std::string line;
    while (std::getline(std::cin, line)) {
        bool ok = true;
        for (const QString& action :
             QString::fromStdString(line).split(QLatin1Char(' '), Qt::SkipEmptyParts)) {
            ok = chord(action.split(QLatin1Char('+'))) && ok;
        }
        std::cout << (ok ? "ok" : "error") << std::endl;
    }
    call(QStringLiteral("Stop"));
    return 0;
}
