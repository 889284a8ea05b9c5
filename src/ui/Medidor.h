#pragma once

#include <QColor>
#include <QVariantAnimation>
#include <QWidget>

#include <array>

namespace sonarel {

// The live input level: twelve rounded bars rising to the right that light up from the left as
// the level grows. Bars keep their size; in a box of any other size the row is centred.
class Medidor : public QWidget {
    Q_OBJECT

public:
    static constexpr int kBarras = 12;
    static constexpr double kAnchoBarra = 4;
    static constexpr double kSeparacion = 3;
    static constexpr double kAnchoFila = kBarras * kAnchoBarra + (kBarras - 1) * kSeparacion;
    static constexpr double kRadio = 1.5;
    static constexpr int kTransicionMs = 80;

    explicit Medidor(QWidget* parent = nullptr);

    double nivel() const { return nivel_; }
    bool activo() const { return activo_; }
    void setNivel(double nivel);
    void setActivo(bool activo);
    // Whether the bars are still fading towards their new colours.
    bool enTransicion() const { return avance_.state() == QAbstractAnimation::Running; }

    // Bar `barra` is lit when the meter is live and barra / 12 < nivel (a NaN level lights none).
    static bool encendida(int barra, double nivel, bool activo);
    static double altoBarra(int barra) { return 6 + 1.1 * barra; }
    // The colour bar `barra` settles on for the current level, in this widget's palette.
    QColor colorFinal(int barra) const;
    // The rectangle bar `barra` takes inside `caja`.
    static QRectF rectBarra(int barra, const QRectF& caja);

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override { return sizeHint(); }

protected:
    void paintEvent(QPaintEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    void transicion();
    QColor colorMostrado(int barra) const;

    double nivel_ = 0;
    bool activo_ = false;
    std::array<QColor, kBarras> desde_;
    std::array<QColor, kBarras> hasta_;
    QVariantAnimation avance_;
};

}  // namespace sonarel
