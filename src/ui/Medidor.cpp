#include "ui/Medidor.h"

#include "ui/Tema.h"

#include <QEvent>
#include <QPainter>
#include <QPainterPath>

#include <cmath>

namespace sonarel {

Medidor::Medidor(QWidget* parent) : QWidget(parent) {
    setAttribute(Qt::WA_TransparentForMouseEvents);
    avance_.setDuration(kTransicionMs);
    avance_.setStartValue(0.0);
    avance_.setEndValue(1.0);
    avance_.setEasingCurve(QEasingCurve::Linear);
    connect(&avance_, &QVariantAnimation::valueChanged, this, [this] { update(); });
    for (int i = 0; i < kBarras; ++i) {
        hasta_[i] = desde_[i] = colorFinal(i);
    }
}

bool Medidor::encendida(int barra, double nivel, bool activo) {
    return activo && static_cast<double>(barra) / kBarras < nivel;
}

QColor Medidor::colorFinal(int barra) const {
    if (!encendida(barra, nivel_, activo_)) {
        return tema::conOpacidad(tema::tinta(palette()), tema::kOpacidadApagada);
    }
    return barra < 10 ? palette().color(QPalette::Highlight) : tema::naranja(palette());
}

QRectF Medidor::rectBarra(int barra, const QRectF& caja) {
    const double x = caja.center().x() - kAnchoFila / 2 + barra * (kAnchoBarra + kSeparacion);
    const double alto = altoBarra(barra);
    return QRectF(x, caja.center().y() - alto / 2, kAnchoBarra, alto);
}

QSize Medidor::sizeHint() const {
    return QSize(static_cast<int>(std::ceil(kAnchoFila)),
                 static_cast<int>(std::ceil(altoBarra(kBarras - 1))));
}

void Medidor::setNivel(double nivel) {
    // NaN never equals itself; treat NaN to NaN as no change.
    if (nivel == nivel_ || (std::isnan(nivel) && std::isnan(nivel_))) {
        return;
    }
    nivel_ = nivel;
    transicion();
}

void Medidor::setActivo(bool activo) {
    if (activo == activo_) {
        return;
    }
    activo_ = activo;
    transicion();
}

// Each bar fades from the colour it shows now to its new one, linearly, over the transition.
void Medidor::transicion() {
    for (int i = 0; i < kBarras; ++i) {
        desde_[i] = colorMostrado(i);
        hasta_[i] = colorFinal(i);
    }
    avance_.stop();
    avance_.start();
    update();
}

QColor Medidor::colorMostrado(int barra) const {
    if (avance_.state() != QAbstractAnimation::Running) {
        return hasta_[barra];
    }
    const float t = avance_.currentValue().toFloat();
    const QColor& a = desde_[barra];
    const QColor& b = hasta_[barra];
    return QColor::fromRgbF(
        a.redF() + (b.redF() - a.redF()) * t, a.greenF() + (b.greenF() - a.greenF()) * t,
        a.blueF() + (b.blueF() - a.blueF()) * t, a.alphaF() + (b.alphaF() - a.alphaF()) * t);
}

void Medidor::changeEvent(QEvent* event) {
    if (event->type() == QEvent::PaletteChange) {
        avance_.stop();
        for (int i = 0; i < kBarras; ++i) {
            hasta_[i] = desde_[i] = colorFinal(i);
        }
        update();
    }
    QWidget::changeEvent(event);
}

void Medidor::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(Qt::NoPen);
    for (int i = 0; i < kBarras; ++i) {
        QPainterPath barra;
        barra.addRoundedRect(rectBarra(i, QRectF(rect())), kRadio, kRadio);
        painter.fillPath(barra, colorMostrado(i));
    }
}

}  // namespace sonarel
