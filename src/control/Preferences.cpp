#include "control/Preferences.h"

#include "platform/Logging.h"
#include "platform/PrivateFiles.h"

#include <QFile>

#include <cmath>
#include <optional>
#include <utility>

namespace sonarel {
namespace {

// The store keeps every value as text; a value reads as the wanted type only when its text is
// that type's own spelling.
std::optional<QVariant> asType(const QVariant& stored, QMetaType::Type type) {
    const int id = stored.metaType().id();
    if (id == type) {
        return stored;
    }
    if (type == QMetaType::Double &&
        (id == QMetaType::Int || id == QMetaType::LongLong || id == QMetaType::UInt ||
         id == QMetaType::ULongLong || id == QMetaType::Float)) {
        return QVariant(stored.toDouble());
    }
    if (id != QMetaType::QString) {
        return std::nullopt;
    }
    const QString text = stored.toString();
    switch (type) {
        case QMetaType::QString:
            return stored;
        case QMetaType::Bool:
            if (text == QLatin1String("true")) {
                return QVariant(true);
            }
            if (text == QLatin1String("false")) {
                return QVariant(false);
            }
            return std::nullopt;
        case QMetaType::Double: {
            bool ok = false;
            const double number = text.toDouble(&ok);
            return ok && std::isfinite(number) ? std::optional<QVariant>(number) : std::nullopt;
        }
        default:
            return std::nullopt;
    }
}

}  // namespace

const QVariantMap& Preferences::valoresPorDefecto() {
    static const QVariantMap defaults{
        {kIdioma, QStringLiteral("es-MX")},
        {kSinConexion, true},
        {kPuntuacion, true},
        {kCopiarAlParar, true},
        {kPegarAlParar, false},
        {kEnterEnTerminal, false},
        {kAutoStop, 0.0},
        {kComandosHablados, true},
        {kAtajoMantenido, false},
        {kAtajoTecla, double(Combinacion().tecla)},
        {kAtajoModificadores, double(Combinacion().modificadores.toInt())},
        {kSonidos, true},
    };
    return defaults;
}

Preferences::Preferences()
    : settings_(std::make_unique<QSettings>(QSettings::NativeFormat, QSettings::UserScope,
                                            QStringLiteral("Sonarel"), QStringLiteral("Sonarel"))) {
    keepPrivate();
}

Preferences::Preferences(const QString& filePath)
    : settings_(std::make_unique<QSettings>(filePath, QSettings::IniFormat)) {
    keepPrivate();
}

// The restore token and the user's choices are the owner's only: a store written before that
// becomes so now, and a new one is made private before its first write (QSettings keeps the
// mode of the file it rewrites).
void Preferences::keepPrivate() {
    if (QFile::exists(settings_->fileName())) {
        makePrivateFile(settings_->fileName());
        private_ = true;
    }
}

void Preferences::registerDefaults(const QVariantMap& defaults) {
    for (auto it = defaults.begin(); it != defaults.end(); ++it) {
        registered_.insert(it.key(), it.value());
    }
}

QVariant Preferences::value(const QString& key, QMetaType::Type type) const {
    if (auto stored = asType(settings_->value(key), type)) {
        return *stored;
    }
    if (auto registered = asType(registered_.value(key), type)) {
        return *registered;
    }
    return {};
}

std::optional<QString> Preferences::string(const QString& key) const {
    const QVariant v = value(key, QMetaType::QString);
    return v.isValid() ? std::optional<QString>(v.toString()) : std::nullopt;
}

bool Preferences::boolean(const QString& key) const {
    return value(key, QMetaType::Bool).toBool();
}

double Preferences::number(const QString& key) const {
    return value(key, QMetaType::Double).toDouble();
}

void Preferences::set(const QString& key, const QVariant& value) {
    if (!std::exchange(private_, true)) {
        makePrivateFile(settings_->fileName());
    }
    settings_->setValue(key, value);
}

QString Preferences::idioma() const {
    return string(kIdioma).value_or(QStringLiteral("es-MX"));
}

Combinacion Preferences::atajo() const {
    const double tecla = number(kAtajoTecla);
    const double modificadores = number(kAtajoModificadores);
    const Combinacion atajo{static_cast<std::uint32_t>(tecla),
                            Modifiers::fromInt(static_cast<int>(modificadores))};
    // A hand-edited value that names no key, or lacks Ctrl, Alt and Super, reads as the default.
    if (tecla < 0 || tecla > 255 || modificadores <= 0 || modificadores > 15 ||
        !(atajo.modificadores & (Modifier::Ctrl | Modifier::Alt | Modifier::Super)) ||
        atajo.texto().endsWith(QLatin1Char('?'))) {
        return Combinacion();
    }
    return atajo;
}

void Preferences::setAtajo(const Combinacion& atajo) {
    set(QString::fromLatin1(kAtajoTecla), double(atajo.tecla));
    set(QString::fromLatin1(kAtajoModificadores), double(atajo.modificadores.toInt()));
}

QStringList Preferences::vocabulario() const {
    QStringList terminos;
    for (const QString& linea : string(kVocabulario).value_or(QString()).split(u'\n')) {
        if (!linea.trimmed().isEmpty()) {
            terminos << linea.trimmed();
        }
    }
    return terminos;
}

void Preferences::sync() {
    settings_->sync();
    if (settings_->status() != QSettings::NoError) {
        qCWarning(logPreferences) << "cannot read or store the preferences in"
                                  << settings_->fileName() << "(" << settings_->status() << ")";
    }
}

}  // namespace sonarel
