#include "ui/Medidor.h"

#include "support/EventLoop.h"

#include <gtest/gtest.h>

#include <QImage>

#include <cmath>
#include <limits>

namespace sonarel {
namespace {

int barrasEncendidas(double nivel, bool activo = true) {
    int n = 0;
    for (int i = 0; i < Medidor::kBarras; ++i) {
        n += Medidor::encendida(i, nivel, activo) ? 1 : 0;
    }
    return n;
}

TEST(Medidor, LightsBarsFromTheLeftWhileTheirShareIsBelowTheLevel) {
    EXPECT_EQ(barrasEncendidas(0), 0);
    EXPECT_EQ(barrasEncendidas(1e-9), 1);
    EXPECT_EQ(barrasEncendidas(0.5), 6);
    EXPECT_EQ(barrasEncendidas(10.0 / 12), 10);
    EXPECT_EQ(barrasEncendidas(0.9), 11);
    EXPECT_EQ(barrasEncendidas(11.0 / 12), 11);
    EXPECT_EQ(barrasEncendidas(1.7), 12);
    EXPECT_EQ(barrasEncendidas(1, false), 0);
    EXPECT_EQ(barrasEncendidas(std::numeric_limits<double>::quiet_NaN()), 0);
    EXPECT_EQ(barrasEncendidas(-0.5), 0);
    for (int i = 1; i < Medidor::kBarras; ++i) {
        EXPECT_TRUE(Medidor::encendida(i - 1, 0.6, true) || !Medidor::encendida(i, 0.6, true));
    }
}

TEST(Medidor, RowOf81PointsCentredInItsBoxRisingToTheRight) {
    EXPECT_DOUBLE_EQ(Medidor::kAnchoFila, 81);
    const QRectF caja(0, 0, 64, 20);  // the HUD's box, narrower than the row
    const QRectF primera = Medidor::rectBarra(0, caja);
    const QRectF ultima = Medidor::rectBarra(11, caja);
    EXPECT_DOUBLE_EQ(primera.left(), -8.5);
    EXPECT_DOUBLE_EQ(ultima.right(), 72.5);
    EXPECT_DOUBLE_EQ(primera.height(), 6.0);
    EXPECT_NEAR(ultima.height(), 18.1, 1e-9);
    for (int i = 0; i < Medidor::kBarras; ++i) {
        const QRectF barra = Medidor::rectBarra(i, caja);
        EXPECT_DOUBLE_EQ(barra.width(), 4);
        EXPECT_DOUBLE_EQ(barra.center().y(), 10);
        if (i > 0) {
            EXPECT_DOUBLE_EQ(barra.left() - Medidor::rectBarra(i - 1, caja).right(), 3);
        }
    }
    // A tall box keeps the bars' size.
    EXPECT_NEAR(Medidor::rectBarra(11, QRectF(0, 0, 90, 300)).height(), 18.1, 1e-9);
}

QPalette paleta(bool oscura) {
    QPalette p;
    p.setColor(QPalette::Window, oscura ? QColor(30, 30, 30) : QColor(246, 246, 246));
    p.setColor(QPalette::WindowText, oscura ? Qt::white : Qt::black);
    p.setColor(QPalette::Highlight, oscura ? QColor(10, 132, 255) : QColor(0, 122, 255));
    return p;
}

// Lets the 0.08 s transition run out.
void esperarTransicion() {
    testing::waitUntil([] { return false; }, 0.15);
}

// Renders the meter on the palette's window colour once its transition has ended.
QImage pintar(Medidor& medidor, QSize caja) {
    medidor.resize(caja);
    esperarTransicion();
    QImage imagen(caja, QImage::Format_ARGB32);
    imagen.fill(medidor.palette().color(QPalette::Window));
    medidor.render(&imagen, QPoint(), QRegion(), QWidget::DrawChildren);
    return imagen;
}

QColor sobreFondo(QColor color, QColor fondo) {
    const double a = color.alphaF();
    return QColor::fromRgbF(color.redF() * a + fondo.redF() * (1 - a),
                            color.greenF() * a + fondo.greenF() * (1 - a),
                            color.blueF() * a + fondo.blueF() * (1 - a));
}

bool parecido(QColor a, QColor b) {
    return std::abs(a.red() - b.red()) <= 3 && std::abs(a.green() - b.green()) <= 3 &&
           std::abs(a.blue() - b.blue()) <= 3;
}

class MedidorPintado : public ::testing::TestWithParam<bool> {};

TEST_P(MedidorPintado, AccentUpToBarNineOrangeAfterFaintWhenUnlit) {
    const QPalette p = paleta(GetParam());
    Medidor medidor;
    medidor.setPalette(p);
    medidor.setActivo(true);
    medidor.setNivel(0.9);  // bars 0 to 10 lit

    const QColor fondo = p.color(QPalette::Window);
    QColor apagada = p.color(QPalette::WindowText);
    apagada.setAlphaF(0.12f);
    const QColor esperadas[] = {p.color(QPalette::Highlight), naranja(p), apagada};
    EXPECT_EQ(medidor.colorFinal(9), esperadas[0]);
    EXPECT_EQ(medidor.colorFinal(10), esperadas[1]);
    EXPECT_EQ(medidor.colorFinal(11), esperadas[2]);
    EXPECT_EQ(naranja(p), GetParam() ? QColor(255, 159, 10) : QColor(255, 149, 0));

    const QImage imagen = pintar(medidor, QSize(90, 22));  // the main window's box
    for (int i = 0; i < Medidor::kBarras; ++i) {
        const QPoint centro = Medidor::rectBarra(i, QRectF(0, 0, 90, 22)).center().toPoint();
        const QColor esperado = sobreFondo(esperadas[i < 10 ? 0 : i == 10 ? 1 : 2], fondo);
        EXPECT_TRUE(parecido(imagen.pixelColor(centro), esperado))
            << "bar " << i << " shows " << imagen.pixelColor(centro).name().toStdString();
    }
    // Bars share a midline: the short first bar leaves the rows above it empty, the tall last
    // one fills them; the gaps between bars stay empty.
    EXPECT_EQ(imagen.pixelColor(6, 5), fondo);
    EXPECT_NE(imagen.pixelColor(83, 5), fondo);
    EXPECT_EQ(imagen.pixelColor(10, 11), fondo);
}

INSTANTIATE_TEST_SUITE_P(Paletas, MedidorPintado, ::testing::Values(false, true),
                         [](const auto& info) { return info.param ? "Oscura" : "Clara"; });

TEST(Medidor, ChangeOfLevelFadesTheBarsInsteadOfJumping) {
    Medidor medidor;
    medidor.setPalette(paleta(false));
    medidor.resize(90, 22);
    medidor.setActivo(true);
    esperarTransicion();
    const QPoint centro = Medidor::rectBarra(0, QRectF(0, 0, 90, 22)).center().toPoint();
    const QColor apagada = medidor.grab().toImage().pixelColor(centro);

    medidor.setNivel(1);
    EXPECT_EQ(medidor.grab().toImage().pixelColor(centro), apagada);
    esperarTransicion();
    EXPECT_NE(medidor.grab().toImage().pixelColor(centro), apagada);
}

}  // namespace
}  // namespace sonarel
