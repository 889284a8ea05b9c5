#pragma once

#include "control/Combinacion.h"

#include <QSettings>
#include <QString>
#include <QStringList>
#include <QVariantMap>

#include <memory>

namespace sonarel {

// The user's choices, typed, in the per-user store (~/.config/Sonarel/Sonarel.conf). Two
// layers: values written here persist; registered defaults live in memory and answer only for
// keys without a written value. A written value of the wrong type (a hand-edited file) reads as
// if it were absent. Main thread only.
class Preferences {
public:
    // Key names, exact and case-sensitive.
    static constexpr auto kIdioma = "idioma";
    static constexpr auto kSinConexion = "sinConexion";
    static constexpr auto kPuntuacion = "puntuacion";
    static constexpr auto kCopiarAlParar = "copiarAlParar";
    static constexpr auto kPegarAlParar = "pegarAlParar";
    static constexpr auto kEnterEnTerminal = "enterEnTerminal";
    static constexpr auto kAutoStop = "autoStop";
    // The speech model file chosen in the model manager; absent or empty: the model folders'
    // own choice.
    static constexpr auto kModelo = "modelo";
    // A faster model file for the text shown while an utterance is spoken, the chosen model
    // giving each utterance's own text; absent or empty: the chosen model does both.
    static constexpr auto kModeloParciales = "modeloParciales";
    // Spoken punctuation and commands ("coma", "punto y aparte"…) become their signs.
    static constexpr auto kComandosHablados = "comandosHablados";
    // The user's names and terms, one a line, told to the recognizer.
    static constexpr auto kVocabulario = "vocabulario";
    // The user's replacements, one a line: "dices → se escribe".
    static constexpr auto kReemplazos = "reemplazos";
    // The shortcut is held down while dictating, instead of pressed to start and to stop.
    static constexpr auto kAtajoMantenido = "atajoMantenido";
    // The shortcut's keys: its virtual key code and its modifier bits (Shift 1, Ctrl 2, Alt 4,
    // Super 8).
    static constexpr auto kAtajoTecla = "atajoTecla";
    static constexpr auto kAtajoModificadores = "atajoModificadores";
    // The sound server's source dictated into; absent or empty: the desktop's default.
    static constexpr auto kMicrofono = "microfono";
    // A short sound when a dictation starts listening and another when it stops.
    static constexpr auto kSonidos = "sonidos";

    // The defaults table: "es-MX", true, true, true, false, false, 0.0, spoken commands on, the
    // shortcut pressed to start and to stop, Alt+Super+D, the sounds on.
    static const QVariantMap& valoresPorDefecto();

    // The user's store.
    Preferences();
    // A store in the given file, in the same format.
    explicit Preferences(const QString& filePath);

    // Fills the registration layer; registered values never reach the file.
    void registerDefaults(const QVariantMap& defaults);

    // Absent text reads as none; absent booleans read false and absent numbers 0.
    std::optional<QString> string(const QString& key) const;
    bool boolean(const QString& key) const;
    double number(const QString& key) const;
    void set(const QString& key, const QVariant& value);

    // Typed accessors of the keys. `idioma` falls back to "es-MX".
    QString idioma() const;
    bool sinConexion() const { return boolean(kSinConexion); }
    bool puntuacion() const { return boolean(kPuntuacion); }
    bool copiarAlParar() const { return boolean(kCopiarAlParar); }
    bool pegarAlParar() const { return boolean(kPegarAlParar); }
    bool enterEnTerminal() const { return boolean(kEnterEnTerminal); }
    double autoStop() const { return number(kAutoStop); }
    QString modelo() const { return string(kModelo).value_or(QString()); }
    QString modeloParciales() const { return string(kModeloParciales).value_or(QString()); }
    bool comandosHablados() const { return boolean(kComandosHablados); }
    // Its non-blank lines, trimmed.
    QStringList vocabulario() const;
    QString reemplazos() const { return string(kReemplazos).value_or(QString()); }
    bool atajoMantenido() const { return boolean(kAtajoMantenido); }
    Combinacion atajo() const;
    void setAtajo(const Combinacion& atajo);
    QString microfono() const { return string(kMicrofono).value_or(QString()); }
    bool sonidos() const { return boolean(kSonidos); }

    // Writes what is still buffered to the file.
    void sync();

private:
    QVariant value(const QString& key, QMetaType::Type type) const;
    void keepPrivate();

    std::unique_ptr<QSettings> settings_;
    bool private_ = false;  // the file is there with the owner's mode only
    QVariantMap registered_;
};

}  // namespace sonarel
