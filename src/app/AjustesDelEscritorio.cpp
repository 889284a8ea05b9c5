#include "app/AjustesDelEscritorio.h"

#include <QProcess>
#include <QStandardPaths>
#include <QStringList>

#include <algorithm>

namespace sonarel {
namespace {

struct Programa {
    QString escritorio;  // as in XDG_CURRENT_DESKTOP; empty for any desktop
    QString ejecutable;
    QStringList argumentos;
};

const QList<Programa>& programasDeSonido() {
    static const QList<Programa> programas{
        {QStringLiteral("GNOME"),
         QStringLiteral("gnome-control-center"),
         {QStringLiteral("sound")}},
        {QStringLiteral("KDE"),
         QStringLiteral("systemsettings"),
         {QStringLiteral("kcm_pulseaudio")}},
        {QStringLiteral("MATE"), QStringLiteral("mate-volume-control"), {}},
        {QStringLiteral("X-Cinnamon"),
         QStringLiteral("cinnamon-settings"),
         {QStringLiteral("sound")}},
        {QString(), QStringLiteral("pavucontrol"), {}},
        {QString(), QStringLiteral("pavucontrol-qt"), {}},
    };
    return programas;
}

}  // namespace

void abrirAjustesDeSonido() {
    const QStringList actuales =
        qEnvironmentVariable("XDG_CURRENT_DESKTOP").split(QLatin1Char(':'), Qt::SkipEmptyParts);
    QList<Programa> programas = programasDeSonido();
    // The running desktop's own program first, then any other that is installed.
    std::stable_sort(programas.begin(), programas.end(), [&](const Programa& a, const Programa& b) {
        return actuales.contains(a.escritorio) && !actuales.contains(b.escritorio);
    });
    for (const Programa& programa : programas) {
        const QString ruta = QStandardPaths::findExecutable(programa.ejecutable);
        if (!ruta.isEmpty() && QProcess::startDetached(ruta, programa.argumentos)) {
            return;
        }
    }
}

}  // namespace sonarel
