#include "app/AtajoDeGnome.h"

#include "app/OrdenPropia.h"

#include <QProcess>
#include <QRegularExpression>
#include <QStringList>

#include <algorithm>
#include <iterator>
#include <utility>

namespace sonarel::atajo_de_gnome {
namespace {

constexpr int kEsperaMs = 5000;

struct Salida {
    bool bien = false;
    QString texto;
};

Salida gsettings(const QStringList& argumentos) {
    QProcess proceso;
    proceso.start(QStringLiteral("gsettings"), argumentos);
    if (!proceso.waitForFinished(kEsperaMs) || proceso.exitStatus() != QProcess::NormalExit) {
        proceso.kill();
        proceso.waitForFinished();
        return {};
    }
    return {proceso.exitCode() == 0,
            QString::fromUtf8(proceso.readAllStandardOutput() + proceso.readAllStandardError())
                .trimmed()};
}

// A string as GVariant text: quoted, with its quotes and backslashes escaped.
QString comoTexto(QString valor) {
    valor.replace(QLatin1Char('\\'), QStringLiteral("\\\\"));
    valor.replace(QLatin1Char('\''), QStringLiteral("\\'"));
    return QLatin1Char('\'') + valor + QLatin1Char('\'');
}

QString esquemaDelAtajo() {
    return QString::fromLatin1(kEsquema) + QStringLiteral(".custom-keybinding:") +
           QString::fromLatin1(kRuta);
}

// The keysym names of the keys whose Qt key is not their name: letters and digits are their own
// (a letter in lower case, as GNOME writes it).
constexpr std::pair<int, const char*> kNombresDeKeysym[]{{Qt::Key_Return, "Return"},
                                                         {Qt::Key_Tab, "Tab"},
                                                         {Qt::Key_Backspace, "BackSpace"},
                                                         {Qt::Key_Escape, "Escape"},
                                                         {' ', "space"},
                                                         {'=', "equal"},
                                                         {'-', "minus"},
                                                         {'[', "bracketleft"},
                                                         {']', "bracketright"},
                                                         {'\'', "apostrophe"},
                                                         {';', "semicolon"},
                                                         {'\\', "backslash"},
                                                         {',', "comma"},
                                                         {'/', "slash"},
                                                         {'.', "period"},
                                                         {'`', "grave"}};

}  // namespace

QString teclas(const Combinacion& atajo) {
    // GNOME reads the modifiers in any order; this is the one mutter writes.
    QString texto;
    for (const auto& [modificador, nombre] :
         {std::pair{Modifier::Shift, "<Shift>"}, std::pair{Modifier::Ctrl, "<Control>"},
          std::pair{Modifier::Alt, "<Alt>"}, std::pair{Modifier::Super, "<Super>"}}) {
        if (atajo.modificadores & modificador) {
            texto += QLatin1String(nombre);
        }
    }
    const int tecla = atajo.teclaQt();
    const auto* nombre =
        std::ranges::find(kNombresDeKeysym, tecla, &std::pair<int, const char*>::first);
    return texto + (nombre != std::end(kNombresDeKeysym) ? QString::fromLatin1(nombre->second)
                                                         : QString(QChar(tecla).toLower()));
}

bool disponible() {
    const QStringList escritorios =
        qEnvironmentVariable("XDG_CURRENT_DESKTOP").split(QLatin1Char(':'), Qt::SkipEmptyParts);
    if (!escritorios.contains(QStringLiteral("GNOME"), Qt::CaseInsensitive)) {
        return false;
    }
    const Salida escribible = gsettings({QStringLiteral("writable"), QString::fromLatin1(kEsquema),
                                         QStringLiteral("custom-keybindings")});
    return escribible.bien && escribible.texto == QLatin1String("true");
}

bool anadido(const Combinacion& atajo) {
    const Salida lista = gsettings({QStringLiteral("get"), QString::fromLatin1(kEsquema),
                                    QStringLiteral("custom-keybindings")});
    const Salida enlace =
        gsettings({QStringLiteral("get"), esquemaDelAtajo(), QStringLiteral("binding")});
    return lista.bien && lista.texto.contains(QString::fromLatin1(kRuta)) && enlace.bien &&
           enlace.texto == comoTexto(teclas(atajo));
}

std::optional<QString> anadir(const QString& orden, const Combinacion& atajo) {
    const QString esquema = QString::fromLatin1(kEsquema);
    const Salida lista =
        gsettings({QStringLiteral("get"), esquema, QStringLiteral("custom-keybindings")});
    if (!lista.bien) {
        return QStringLiteral(
            "No se pudo añadir el atajo: GNOME no dejó leer sus atajos "
            "personalizados.");
    }
    // The paths are plain folder names in quotes: '/org/…/custom0/'.
    QStringList rutas;
    for (const auto& encontrada :
         QRegularExpression(QStringLiteral("'([^'\\\\]*)'")).globalMatch(lista.texto)) {
        rutas << encontrada.captured(1);
    }
    const QString propia = QString::fromLatin1(kRuta);
    // The shortcut's own settings first: the daemon takes up a path once it is listed.
    for (const auto& [clave, valor] :
         {std::pair{QStringLiteral("name"), QStringLiteral("Sonarel: dictar")},
          std::pair{QStringLiteral("command"), orden},
          std::pair{QStringLiteral("binding"), teclas(atajo)}}) {
        if (!gsettings({QStringLiteral("set"), esquemaDelAtajo(), clave, comoTexto(valor)}).bien) {
            return QStringLiteral("No se pudo añadir el atajo: GNOME no aceptó el cambio.");
        }
    }
    if (!rutas.contains(propia)) {
        rutas << propia;
        QStringList valores;
        for (const QString& ruta : rutas) {
            valores << comoTexto(ruta);
        }
        const QString nueva =
            QLatin1Char('[') + valores.join(QStringLiteral(", ")) + QLatin1Char(']');
        if (!gsettings(
                 {QStringLiteral("set"), esquema, QStringLiteral("custom-keybindings"), nueva})
                 .bien) {
            return QStringLiteral("No se pudo añadir el atajo: GNOME no aceptó el cambio.");
        }
    }
    return std::nullopt;
}

QString ordenAlternar() {
    return ordenPropia(QStringLiteral("--alternar"));
}

}  // namespace sonarel::atajo_de_gnome
