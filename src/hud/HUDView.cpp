#include "hud/HUDView.h"

#include "ui/Tema.h"

#include <QFontMetricsF>
#include <QPainter>
#include <QPainterPath>
#include <QRegularExpression>

#include <algorithm>

namespace sonarel {
namespace {

using tema::conOpacidad;

QPainterPath capsulaDe(const QRectF& rect) {
    QPainterPath path;
    const double radio = rect.height() / 2;
    path.addRoundedRect(rect, radio, radio);
    return path;
}

// The text on one line: line breaks read as spaces.
QString enUnaLinea(const QString& texto) {
    static const QRegularExpression saltos(QStringLiteral("[\\r\\n\\x{85}\\x{2028}\\x{2029}]+"));
    return QString(texto).replace(saltos, QStringLiteral(" "));
}

}  // namespace

HUDView::HUDView(SpeechEngine& motor, HUDEstado& estado, bool translucido, QWidget* parent)
    : QWidget(parent),
      motor_(motor),
      estado_(estado),
      translucido_(translucido),
      medidor_(new Medidor(this)),
      vaiven_(QEasingCurve::BezierSpline) {
    setAttribute(Qt::WA_TransparentForMouseEvents);
    medidor_->setActivo(true);
    medidor_->setNivel(motor_.level());
    medidor_->setVisible(!muestraAviso());

    vaiven_.addCubicBezierSegment(QPointF(0.42, 0), QPointF(0.58, 1), QPointF(1, 1));
    pulso_.setDuration(2 * kPulsoMs);
    pulso_.setStartValue(0.0);
    pulso_.setEndValue(1.0);
    pulso_.setLoopCount(-1);
    connect(&pulso_, &QVariantAnimation::valueChanged, this,
            [this] { update(fila().punto.toAlignedRect().adjusted(-1, -1, 1, 1)); });
    connect(&motor_, &SpeechEngine::textChanged, this, [this] { update(); });
    connect(&motor_, &SpeechEngine::levelChanged, this,
            [this] { medidor_->setNivel(motor_.level()); });
    connect(&estado_, &HUDEstado::mensajeChanged, this, [this] {
        medidor_->setVisible(!muestraAviso());
        recortar();
        update();
    });
}

// Without translucency the window itself takes the capsule's shape.
void HUDView::recortar() {
    if (!translucido_) {
        setMask(QRegion(capsulaDe(capsula()).toFillPolygon().toPolygon()));
    }
}

QRectF HUDView::capsula() const {
    const QRectF dentro = QRectF(rect()).adjusted(kMargenExterior, kMargenExterior,
                                                  -kMargenExterior, -kMargenExterior);
    double altoFila =
        std::max<double>(kCajaMedidor.height(), QFontMetricsF(fuenteTexto()).height());
    if (muestraAviso()) {
        const QRectF caja(0, 0, dentro.width() - 2 * kMargenLateral - kSimbolo - kEspacioAviso,
                          1e6);
        altoFila = std::max(altoFila, QFontMetricsF(fuenteTexto())
                                          .boundingRect(caja, Qt::TextWordWrap, *estado_.mensaje())
                                          .height());
    } else {
        altoFila = std::max(altoFila, QFontMetricsF(fuenteAtajo()).height() + 6);
    }
    const double alto = std::min(dentro.height(), altoFila + 2 * kMargenVertical);
    return QRectF(dentro.left(), dentro.center().y() - alto / 2, dentro.width(), alto);
}

QFont HUDView::fuenteTexto() const {
    QFont fuente = font();
    fuente.setPixelSize(tema::kPixelesHUD);
    fuente.setWeight(QFont::Normal);
    return fuente;
}

QFont HUDView::fuenteAtajo() const {
    QFont fuente = font();
    fuente.setPixelSize(tema::kPixelesHUDPequenos);
    fuente.setWeight(QFont::Medium);
    return fuente;
}

HUDView::Fila HUDView::fila() const {
    const QRectF c =
        capsula().adjusted(kMargenLateral, kMargenVertical, -kMargenLateral, -kMargenVertical);
    const double medio = c.center().y();
    Fila f;
    f.punto = QRectF(c.left(), medio - kPunto / 2.0, kPunto, kPunto);
    f.medidor = QRectF(f.punto.right() + kEspacioEscucha, medio - kCajaMedidor.height() / 2.0,
                       kCajaMedidor.width(), kCajaMedidor.height());
    const QFontMetricsF atajoMetricas(fuenteAtajo());
    const double anchoAtajo = atajoMetricas.horizontalAdvance(atajo()) + 14;
    const double altoAtajo = atajoMetricas.height() + 6;
    f.atajo = QRectF(c.right() - anchoAtajo, medio - altoAtajo / 2, anchoAtajo, altoAtajo);
    const double inicioTexto = f.medidor.right() + kEspacioEscucha;
    f.texto =
        QRectF(inicioTexto, c.top(), f.atajo.left() - kEspacioEscucha - inicioTexto, c.height());
    return f;
}

QString HUDView::lineaVisible() const {
    const QString texto = muestraMarcador() ? marcador() : enUnaLinea(motor_.text());
    return QFontMetricsF(fuenteTexto()).elidedText(texto, Qt::ElideLeft, fila().texto.width());
}

// The meter keeps its natural width: centred on its box, it may reach into the gaps beside it.
void HUDView::colocarMedidor() {
    const QRectF caja = fila().medidor;
    constexpr double ancho = 90;  // even and wider than the row, so that it centres exactly
    medidor_->setGeometry(
        QRectF(caja.center().x() - ancho / 2, caja.top(), ancho, caja.height()).toRect());
}

void HUDView::resizeEvent(QResizeEvent* event) {
    colocarMedidor();
    recortar();
    QWidget::resizeEvent(event);
}

void HUDView::showEvent(QShowEvent* event) {
    colocarMedidor();
    if (pulso_.state() == QAbstractAnimation::Paused) {
        pulso_.resume();
    } else if (pulso_.state() == QAbstractAnimation::Stopped) {
        pulso_.start();
    }
    QWidget::showEvent(event);
}

// Nobody sees the dot while the panel is off screen.
void HUDView::hideEvent(QHideEvent* event) {
    if (pulso_.state() == QAbstractAnimation::Running) {
        pulso_.pause();
    }
    QWidget::hideEvent(event);
}

double HUDView::opacidadPunto() const {
    if (pulso_.state() == QAbstractAnimation::Stopped) {
        return 0.3;
    }
    const double v = pulso_.currentValue().toDouble();
    const double ida = v < 0.5 ? 2 * v : 2 - 2 * v;
    return 0.3 + 0.7 * vaiven_.valueForProgress(ida);
}

void HUDView::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setRenderHint(QPainter::TextAntialiasing);
    pintarCapsula(painter);
    if (muestraAviso()) {
        pintarAviso(painter);
    } else {
        pintarEscucha(painter);
    }
}

void HUDView::pintarCapsula(QPainter& painter) const {
    const QRectF c = capsula();
    const QColor fondo = palette().color(QPalette::Window);
    painter.fillPath(capsulaDe(c),
                     translucido_ ? conOpacidad(fondo, tema::kOpacidadFondoTranslucido) : fondo);
    painter.setPen(QPen(conOpacidad(tema::tinta(palette()), tema::kOpacidadBorde), 1));
    painter.setBrush(Qt::NoBrush);
    painter.drawPath(capsulaDe(c.adjusted(0.5, 0.5, -0.5, -0.5)));
}

void HUDView::pintarEscucha(QPainter& painter) const {
    const Fila f = fila();
    const QColor primario = tema::tinta(palette());

    painter.setPen(Qt::NoPen);
    painter.setBrush(conOpacidad(tema::rojo(palette()), opacidadPunto()));
    painter.drawEllipse(f.punto);

    painter.setFont(fuenteTexto());
    painter.setPen(muestraMarcador() ? conOpacidad(primario, tema::kOpacidadMarcadorHUD)
                                     : primario);
    painter.drawText(f.texto, Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine,
                     lineaVisible());

    QPainterPath fondoAtajo;
    fondoAtajo.addRoundedRect(f.atajo, 5, 5);
    painter.fillPath(fondoAtajo, conOpacidad(primario, tema::kOpacidadFondoAtajo));
    painter.setFont(fuenteAtajo());
    painter.setPen(conOpacidad(primario, tema::kOpacidadMarcadorHUD));
    painter.drawText(f.atajo, Qt::AlignCenter, atajo());
}

void HUDView::pintarAviso(QPainter& painter) const {
    const QRectF c =
        capsula().adjusted(kMargenLateral, kMargenVertical, -kMargenLateral, -kMargenVertical);
    // A filled orange circle with an "i", standing in for the information symbol.
    const QRectF simbolo(c.left(), c.center().y() - kSimbolo / 2.0, kSimbolo, kSimbolo);
    painter.setPen(Qt::NoPen);
    painter.setBrush(tema::naranja(palette()));
    painter.drawEllipse(simbolo);
    QFont letra = fuenteTexto();
    letra.setPixelSize(tema::kPixelesHUDPequenos);
    letra.setWeight(QFont::Bold);
    painter.setFont(letra);
    painter.setPen(Qt::white);
    painter.drawText(simbolo, Qt::AlignCenter, QStringLiteral("i"));

    const double inicio = simbolo.right() + kEspacioAviso;
    painter.setFont(fuenteTexto());
    painter.setPen(tema::tinta(palette()));
    painter.drawText(QRectF(inicio, c.top(), c.right() - inicio, c.height()),
                     Qt::AlignLeft | Qt::AlignVCenter | Qt::TextWordWrap, *estado_.mensaje());
}

}  // namespace sonarel
