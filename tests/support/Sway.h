#pragma once

#include "support/EventLoop.h"
#include "support/Xdotool.h"

#include <QImage>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>

namespace sonarel::testing {

// The application id of the window that has the focus on the sway test desktop: its Wayland
// app_id, or its X11 class through XWayland; empty when none.
inline QString enfocadaEnSway() {
    const std::function<QString(const QJsonObject&)> buscar = [&](const QJsonObject& nodo) {
        if (nodo.value("focused").toBool() && nodo.value("type").toString() == "con") {
            const QString id = nodo.value("app_id").toString();
            return id.isEmpty()
                       ? nodo.value("window_properties").toObject().value("class").toString()
                       : id;
        }
        for (const char* hijos : {"nodes", "floating_nodes"}) {
            for (const QJsonValue& hijo : nodo.value(hijos).toArray()) {
                if (QString id = buscar(hijo.toObject()); !id.isEmpty()) {
                    return id;
                }
            }
        }
        return QString();
    };
    return buscar(
        QJsonDocument::fromJson(ejecutar("swaymsg", {"-t", "get_tree"}).toUtf8()).object());
}

// A program started on the sway test desktop, stopped when this goes away.
class Programa {
public:
    Programa(const QString& programa, const QStringList& argumentos,
             const QProcessEnvironment& entorno = QProcessEnvironment::systemEnvironment()) {
        proceso_.setProcessEnvironment(entorno);
        proceso_.start(programa, argumentos);
        proceso_.waitForStarted();
    }
    ~Programa() {
        proceso_.kill();
        proceso_.waitForFinished(3000);
    }
    QProcess& proceso() { return proceso_; }

private:
    QProcess proceso_;
};

// The clipboard as another client reads it, while this process's event loop keeps running to
// serve it when it is the owner.
inline QString leerPortapapeles(bool primaria = false) {
    QProcess proceso;
    proceso.start("wl-paste", primaria ? QStringList{"-n", "--primary"} : QStringList{"-n"});
    waitUntil([&] { return proceso.state() == QProcess::NotRunning; }, 10);
    return QString::fromUtf8(proceso.readAllStandardOutput());
}

// What the sway test desktop shows in `area`, as a screenshot takes it.
inline QImage capturaEnSway(const QRect& area) {
    const QString geometria = QStringLiteral("%1,%2 %3x%4")
                                  .arg(area.x())
                                  .arg(area.y())
                                  .arg(area.width())
                                  .arg(area.height());
    QProcess grim;
    grim.start("grim", {"-t", "ppm", "-g", geometria, "-"});
    waitUntil([&] { return grim.state() == QProcess::NotRunning; }, 10);
    return QImage::fromData(grim.readAllStandardOutput(), "PPM")
        .convertToFormat(QImage::Format_RGB32);
}

// Keys through sway's own virtual keyboard tool, as if typed.
inline void teclasEnSway(const QStringList& argumentos) {
    ejecutar("wtype", argumentos);
}

}  // namespace sonarel::testing
