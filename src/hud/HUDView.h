#pragma once

#include "engine/SpeechEngine.h"
#include "hud/HUDEstado.h"
#include "ui/Medidor.h"
#include "ui/Tema.h"

#include <QVariantAnimation>
#include <QWidget>

namespace sonarel {

// The HUD's content: one capsule that shows either the notice of `estado` or the listening bar
// (pulsing dot, level meter, the live text cut at its head, the shortcut). Display only.
class HUDView : public QWidget {
    Q_OBJECT

public:
    static constexpr int kMargenExterior = 3;
    static constexpr int kMargenLateral = tema::kMargenLateral;
    static constexpr int kMargenVertical = 11;
    static constexpr int kEspacioEscucha = 12;
    static constexpr int kEspacioAviso = 10;
    static constexpr int kPunto = 9;
    static constexpr int kSimbolo = 15;
    static constexpr QSize kCajaMedidor{64, 20};
    static constexpr int kPulsoMs = 700;

    // `translucido`: a see-through background, where a compositor shows it.
    HUDView(SpeechEngine& motor, HUDEstado& estado, bool translucido, QWidget* parent = nullptr);

    bool muestraAviso() const { return estado_.mensaje().has_value(); }
    // The live-text line as drawn: the engine's text (or the placeholder) cut to fit.
    QString lineaVisible() const;
    bool muestraMarcador() const { return motor_.text().isEmpty(); }
    // The capsule, in this widget's coordinates.
    QRectF capsula() const;
    const Medidor& medidor() const { return *medidor_; }

    static QString marcador() { return QStringLiteral("Escuchando…"); }
    const QString& atajo() const { return estado_.atajo(); }

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;

private:
    struct Fila {
        QRectF punto;
        QRectF medidor;
        QRectF texto;
        QRectF atajo;
    };
    Fila fila() const;
    QFont fuenteTexto() const;
    QFont fuenteAtajo() const;
    void colocarMedidor();
    void recortar();
    void pintarCapsula(QPainter& painter) const;
    void pintarEscucha(QPainter& painter) const;
    void pintarAviso(QPainter& painter) const;

    double opacidadPunto() const;

    SpeechEngine& motor_;
    HUDEstado& estado_;
    const bool translucido_;
    Medidor* medidor_;
    // Runs once the dot has been shown: the dot's opacity goes 0.3 -> 1.0 -> 0.3 each period.
    QVariantAnimation pulso_;
    QEasingCurve vaiven_;
};

}  // namespace sonarel
