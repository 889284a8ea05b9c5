#pragma once

#include <QMap>
#include <QProcess>
#include <QRect>
#include <QString>
#include <QStringList>

namespace sonarel::testing {

// Runs a desktop tool (xdotool, xprop, import…) to its end and answers what it printed.
inline QString ejecutar(const QString& programa, const QStringList& argumentos) {
    QProcess proceso;
    proceso.start(programa, argumentos);
    proceso.waitForFinished(15000);
    return QString::fromUtf8(proceso.readAllStandardOutput()).trimmed();
}

inline QString xdotool(const QStringList& argumentos) {
    return ejecutar(QStringLiteral("xdotool"), argumentos);
}

// The window that has the input focus, and the one the window manager calls active.
inline qulonglong ventanaConFoco() {
    return xdotool({"getwindowfocus", "-f"}).toULongLong();
}
inline qulonglong ventanaActiva() {
    return xdotool({"getactivewindow"}).toULongLong();
}

// The window's rectangle on the screen, frame excluded.
inline QRect geometriaEnPantalla(qulonglong ventana) {
    QMap<QString, int> v;
    for (const QString& linea :
         xdotool({"getwindowgeometry", "--shell", QString::number(ventana)}).split('\n')) {
        v[linea.section('=', 0, 0)] = linea.section('=', 1).toInt();
    }
    return QRect(v["X"], v["Y"], v["WIDTH"], v["HEIGHT"]);
}

// An xterm with a unique title, started and activated; stopped when this goes away.
class Xterm {
public:
    explicit Xterm(const QString& titulo, const QString& geometria = "80x12+40+40",
                   const QStringList& extra = {}) {
        proceso_.start(QStringLiteral("xterm"),
                       QStringList{"-title", titulo, "-geometry", geometria} + extra);
        proceso_.waitForStarted();
        ventana_ = xdotool({"search", "--sync", "--name", "^" + titulo + "$"})
                       .section('\n', 0, 0)
                       .toULongLong();
        activar();
    }
    ~Xterm() {
        proceso_.kill();
        proceso_.waitForFinished(3000);
    }
    void activar() const { xdotool({"windowactivate", "--sync", QString::number(ventana_)}); }
    qulonglong ventana() const { return ventana_; }

private:
    QProcess proceso_;
    qulonglong ventana_ = 0;
};

}  // namespace sonarel::testing
