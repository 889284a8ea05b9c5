#pragma once

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
    const QString salida = xdotool({"getwindowgeometry", "--shell", QString::number(ventana)});
    int x = 0, y = 0, ancho = 0, alto = 0;
    for (const QString& linea : salida.split('\n')) {
        const QString valor = linea.section('=', 1);
        if (linea.startsWith("X="))
            x = valor.toInt();
        if (linea.startsWith("Y="))
            y = valor.toInt();
        if (linea.startsWith("WIDTH="))
            ancho = valor.toInt();
        if (linea.startsWith("HEIGHT="))
            alto = valor.toInt();
    }
    return QRect(x, y, ancho, alto);
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
    Xterm(const Xterm&) = delete;
    Xterm& operator=(const Xterm&) = delete;

    void activar() const { xdotool({"windowactivate", "--sync", QString::number(ventana_)}); }
    qulonglong ventana() const { return ventana_; }
    qint64 pid() const { return proceso_.processId(); }

private:
    QProcess proceso_;
    qulonglong ventana_ = 0;
};

}  // namespace sonarel::testing
