#include "ui/EstadoChip.h"

#include "ui/Tema.h"

#include <QPainter>
#include <QPainterPath>

namespace sonarel {
namespace {

constexpr int kPunto = 8;
constexpr int kSeparacion = 6;
constexpr int kMargenLateral = 9;
constexpr int kMargenVertical = 4;

}  // namespace

QString textoEstado(const Status& status, bool onDevice) {
    switch (status.kind()) {
        case Status::Kind::Idle:
            return QStringLiteral("Listo");
        case Status::Kind::Preparing:
            return QStringLiteral("Preparando…");
        case Status::Kind::Listening:
            return onDevice ? QStringLiteral("Escuchando · sin conexión")
                            : QStringLiteral("Escuchando");
        case Status::Kind::Failed:
            return QStringLiteral("Problema");
    }
    return {};
}

QColor colorEstado(Status::Kind kind) {
    switch (kind) {
        case Status::Kind::Idle:
            return tema::kGris;
        case Status::Kind::Preparing:
            return tema::kNaranja;
        case Status::Kind::Listening:
            return tema::kRojo;
        case Status::Kind::Failed:
            return tema::kAmarillo;
    }
    return {};
}

EstadoChip::EstadoChip(QWidget* parent) : QWidget(parent) {
    setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
    mostrar(Status::idle(), false);
}

void EstadoChip::mostrar(const Status& status, bool onDevice) {
    QString texto = textoEstado(status, onDevice);
    QColor color = colorEstado(status.kind());
    if (texto == texto_ && color == color_) {
        return;
    }
    texto_ = std::move(texto);
    color_ = color;
    updateGeometry();
    update();
}

QSize EstadoChip::sizeHint() const {
    QFontMetrics metrics(tema::fuente(font(), tema::kPuntosPequenos));
    const int alto = std::max(kPunto, metrics.height()) + 2 * kMargenVertical;
    const int ancho =
        kMargenLateral + kPunto + kSeparacion + metrics.horizontalAdvance(texto_) + kMargenLateral;
    return {ancho, alto};
}

void EstadoChip::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const QRectF caja = rect();

    const QColor fondo = tema::conOpacidad(tema::tinta(palette()), tema::kOpacidadFondoChip);
    QPainterPath capsula;
    capsula.addRoundedRect(caja, caja.height() / 2, caja.height() / 2);
    painter.fillPath(capsula, fondo);

    const double centro = caja.height() / 2;
    painter.setPen(Qt::NoPen);
    painter.setBrush(color_);
    painter.drawEllipse(QRectF(kMargenLateral, centro - kPunto / 2.0, kPunto, kPunto));

    painter.setPen(tema::secundario(palette()));
    painter.setFont(tema::fuente(font(), tema::kPuntosPequenos));
    const QRectF zonaTexto(kMargenLateral + kPunto + kSeparacion, 0,
                           caja.width() - (kMargenLateral + kPunto + kSeparacion), caja.height());
    painter.drawText(zonaTexto, Qt::AlignLeft | Qt::AlignVCenter, texto_);
}

}  // namespace sonarel
