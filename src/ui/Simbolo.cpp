#include "ui/Simbolo.h"

#include "ui/Tema.h"

#include <QFile>
#include <QIconEngine>
#include <QPainter>
#include <QSvgRenderer>

// The symbols are compiled into this library; registering them here keeps the linker from
// dropping them from programs that link it statically.
static void registrarSimbolos() {
    Q_INIT_RESOURCE(simbolos);
}

namespace sonarel {
namespace {

// Renders the symbol's drawing afresh for each requested size, so that it stays sharp on
// scaled screens and in trays of any height.
class MotorSimbolo : public QIconEngine {
public:
    explicit MotorSimbolo(QByteArray svg) : svg_(std::move(svg)) {}

    void paint(QPainter* painter, const QRect& rect, QIcon::Mode mode, QIcon::State) override {
        QSvgRenderer renderer(svg_);
        if (mode == QIcon::Disabled) {
            painter->setOpacity(painter->opacity() * tema::kOpacidadInactiva);
        }
        renderer.render(painter, rect);
    }

    QPixmap pixmap(const QSize& size, QIcon::Mode mode, QIcon::State state) override {
        QPixmap pixmap(size);
        pixmap.fill(Qt::transparent);
        QPainter painter(&pixmap);
        paint(&painter, QRect(QPoint(0, 0), size), mode, state);
        return pixmap;
    }

    QIconEngine* clone() const override { return new MotorSimbolo(svg_); }

private:
    QByteArray svg_;
};

}  // namespace

QIcon simbolo(const QString& nombre, const QColor& color) {
    static const bool registrados = (registrarSimbolos(), true);
    Q_UNUSED(registrados);
    QFile file(QStringLiteral(":/simbolos/") + nombre);
    if (!file.open(QIODevice::ReadOnly)) {
        return {};
    }
    QByteArray svg = file.readAll();
    svg.replace("#000", color.name(QColor::HexRgb).toLatin1());
    return QIcon(new MotorSimbolo(std::move(svg)));
}

}  // namespace sonarel
