#include "delivery/Terminales.h"

namespace sonarel {

const QSet<QString>& terminales() {
    static const QSet<QString> set{
        // macOS application identifiers.
        QStringLiteral("com.apple.Terminal"),
        QStringLiteral("com.googlecode.iterm2"),
        QStringLiteral("dev.warp.Warp-Stable"),
        QStringLiteral("dev.warp.Warp"),
        QStringLiteral("com.mitchellh.ghostty"),
        QStringLiteral("net.kovidgoyal.kitty"),
        QStringLiteral("io.alacritty"),
        QStringLiteral("org.alacritty"),
        QStringLiteral("co.zeit.hyper"),
        QStringLiteral("org.tabby"),
        QStringLiteral("com.brave.Browser.app.terminal"),
        QStringLiteral("com.microsoft.VSCode"),
        QStringLiteral("com.microsoft.VSCodeInsiders"),
        QStringLiteral("com.todesktop.230313mzl4w4u92"),
        QStringLiteral("com.jetbrains.intellij"),
        QStringLiteral("com.apple.dt.Xcode"),
        // Linux application identifiers: reverse-DNS ids, or the window class. GTK applications
        // announce their id only when they run with a session bus, so the class is here too.
        // Ghostty announces its macOS identifier above.
        QStringLiteral("org.gnome.Terminal"),
        QStringLiteral("org.gnome.Console"),
        QStringLiteral("kgx"),
        QStringLiteral("org.kde.konsole"),
        QStringLiteral("org.kde.yakuake"),
        QStringLiteral("Xfce4-terminal"),
        QStringLiteral("com.gexperts.Tilix"),
        QStringLiteral("Tilix"),
        QStringLiteral("Terminator"),
        QStringLiteral("kitty"),
        QStringLiteral("Alacritty"),
        QStringLiteral("foot"),
        QStringLiteral("footclient"),
        QStringLiteral("org.wezfurlong.wezterm"),
        QStringLiteral("XTerm"),
        QStringLiteral("UXTerm"),
        QStringLiteral("URxvt"),
        QStringLiteral("st-256color"),
        QStringLiteral("Code"),
        QStringLiteral("Code - Insiders"),
        QStringLiteral("Cursor"),
        QStringLiteral("jetbrains-idea"),
        QStringLiteral("jetbrains-idea-ce"),
        QStringLiteral("jetbrains-pycharm"),
        QStringLiteral("jetbrains-pycharm-ce"),
        QStringLiteral("jetbrains-clion"),
        QStringLiteral("jetbrains-goland"),
        QStringLiteral("jetbrains-webstorm"),
        QStringLiteral("jetbrains-phpstorm"),
        QStringLiteral("jetbrains-rider"),
        QStringLiteral("jetbrains-rubymine"),
        QStringLiteral("jetbrains-datagrip"),
        QStringLiteral("jetbrains-studio"),
    };
    return set;
}

QString lineaDeTerminal(const QString& texto) {
    QString line = texto;
    line.replace(QStringLiteral("\r\n"), QStringLiteral(" "));
    line.replace(QLatin1Char('\n'), QLatin1Char(' '));
    const auto trimmedAway = [](QChar c) {
        return c == QLatin1Char('\t') || c.category() == QChar::Separator_Space;
    };
    qsizetype begin = 0;
    qsizetype end = line.size();
    while (begin < end && trimmedAway(line[begin])) {
        ++begin;
    }
    while (end > begin && trimmedAway(line[end - 1])) {
        --end;
    }
    return line.mid(begin, end - begin);
}

}  // namespace sonarel
