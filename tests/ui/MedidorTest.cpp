#include "ui/Medidor.h"

#include "support/EventLoop.h"
#include "ui/Tema.h"

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
    const std::pair<double, int> casos[] = {
        {0, 0},          {1e-9, 1}, {0.5, 6},  {10.0 / 12, 10},
        {11.0 / 12, 11}, {1.7, 12}, {-0.5, 0}, {std::numeric_limits<double>::quiet_NaN(), 0}};
    for (const auto& [nivel, barras] : casos) {
        EXPECT_EQ(barrasEncendidas(nivel), barras) << nivel;
    }
    EXPECT_EQ(barrasEncendidas(1, false), 0);
}

QPalette paleta(bool oscura) {
    QPalette p;
    p.setColor(QPalette::Window, oscura ? QColor(30, 30, 30) : QColor(246, 246, 246));
    p.setColor(QPalette::WindowText, oscura ? Qt::white : Qt::black);
    p.setColor(QPalette::Highlight, oscura ? QColor(10, 132, 255) : QColor(0, 122, 255));
    return p;
}

// Lets the transition run out.
void esperarTransicion(const Medidor& medidor) {
    ASSERT_TRUE(testing::waitUntil([&] { return !medidor.enTransicion(); }));
}

// Renders the meter on the palette's window colour once its transition has ended.
QImage pintar(Medidor& medidor, QSize caja) {
    medidor.resize(caja);
    esperarTransicion(medidor);
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
    const QColor esperadas[] = {p.color(QPalette::Highlight), tema::naranja(p), apagada};
    EXPECT_EQ(tema::naranja(p), GetParam() ? QColor(255, 159, 10) : QColor(255, 149, 0));

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
    esperarTransicion(medidor);
    const QPoint centro = Medidor::rectBarra(0, QRectF(0, 0, 90, 22)).center().toPoint();
    const QColor apagada = medidor.grab().toImage().pixelColor(centro);

    medidor.setNivel(1);
    EXPECT_EQ(medidor.grab().toImage().pixelColor(centro), apagada);
    esperarTransicion(medidor);
    EXPECT_NE(medidor.grab().toImage().pixelColor(centro), apagada);
}

}  // namespace
}  // namespace sonarel
