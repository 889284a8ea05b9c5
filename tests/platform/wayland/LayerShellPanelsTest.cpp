// Floating panels as layer-shell surfaces on the sway test desktop.
#include "platform/wayland/LayerShellPanels.h"
#include "support/EventLoop.h"
#include "support/Sway.h"

#include <gtest/gtest.h>

#include <QTemporaryDir>
#include <QWidget>

namespace sonarel::wayland {
namespace {

using testing::capturaEnSway;
using testing::ejecutar;
using testing::enfocadaEnSway;
using testing::waitUntil;

const QColor kColor(0xd0, 0x20, 0x90);
// At the bottom centre of the 1280x800 output, as the HUD places itself.
const QRect kPanel(360, 800 - 96 - 54, 560, 54);
// Where the panel covers foot's empty lines, away from the windows' borders.
const QRect kMuestra(kPanel.right() - 40, kPanel.center().y(), 1, 1);

int ventanas() {
    return ejecutar("swaymsg", {"-t", "get_tree"}).count("\"app_id\"");
}

bool muestra(const QColor& color) {
    const QImage captura = capturaEnSway(kMuestra);
    return !captura.isNull() && captura.pixelColor(0, 0) == color;
}

TEST(PanelEnCapa, ShowsAboveTheWindowsNeverTakesTheFocusAndLetsClicksThrough) {
    const auto paneles = LayerShellPanels::create();
    ASSERT_TRUE(paneles);
    EXPECT_TRUE(paneles->compositing());
    QTemporaryDir dir;
    // Side by side: a native Qt field on the left, foot on the right with the focus.
    QProcessEnvironment nativo = QProcessEnvironment::systemEnvironment();
    nativo.insert("QT_QPA_PLATFORM", "wayland");
    testing::Programa campo(SONAREL_TEXTFIELD, {dir.filePath("campo.txt")}, nativo);
    ASSERT_TRUE(waitUntil([] { return enfocadaEnSway() == "sonarel_test_textfield"; }, 20));
    // Its own background colour, so that the test knows when foot has drawn its first frame:
    // the focus comes before it.
    const QColor debajo(0x10, 0x30, 0x50);
    testing::Programa foot("foot", {"--override=colors.background=103050", "sh", "-c", "sleep 60"});
    ASSERT_TRUE(waitUntil([] { return enfocadaEnSway() == "foot"; }, 20));
    ASSERT_TRUE(waitUntil([&] { return muestra(debajo); }, 20));
    const int antes = ventanas();

    QWidget panel;
    panel.setWindowFlags(Qt::Tool | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint |
                         Qt::WindowDoesNotAcceptFocus | Qt::WindowTransparentForInput |
                         Qt::X11BypassWindowManagerHint);
    panel.setAttribute(Qt::WA_ShowWithoutActivating);
    QPalette paleta = panel.palette();
    paleta.setColor(QPalette::Window, kColor);
    panel.setPalette(paleta);
    panel.setAutoFillBackground(true);
    panel.setGeometry(kPanel);
    panel.winId();
    paneles->prepare(*panel.windowHandle());
    panel.show();
    ASSERT_TRUE(waitUntil([] { return muestra(kColor); }, 10));
    EXPECT_EQ(enfocadaEnSway().toStdString(), "foot");
    EXPECT_EQ(ventanas(), antes) << "the panel is no window of the desktop's";

    // Half seen, at half opacity.
    panel.setWindowOpacity(0.5);
    EXPECT_TRUE(waitUntil([&] {
        const QColor visto = capturaEnSway(kMuestra).pixelColor(0, 0);
        return std::abs(visto.red() - (kColor.red() + debajo.red()) / 2) <= 2 &&
               std::abs(visto.blue() - (kColor.blue() + debajo.blue()) / 2) <= 2;
    }));

    // A click on the panel over the field reaches the field, which takes the focus.
    const QPoint sobreElCampo(kPanel.left() + 40, kPanel.center().y());
    ejecutar("swaymsg", {"seat", "-", "cursor", "set", QString::number(sobreElCampo.x()),
                         QString::number(sobreElCampo.y())});
    ejecutar("swaymsg", {"seat", "-", "cursor", "press", "button1"});
    ejecutar("swaymsg", {"seat", "-", "cursor", "release", "button1"});
    EXPECT_TRUE(waitUntil([] { return enfocadaEnSway() == "sonarel_test_textfield"; }))
        << enfocadaEnSway().toStdString();

    panel.setWindowOpacity(1);
    panel.hide();
    EXPECT_TRUE(waitUntil([&] { return muestra(debajo); }));
    panel.show();  // shown again, on a new surface
    EXPECT_TRUE(waitUntil([] { return muestra(kColor); }));
}

}  // namespace
}  // namespace sonarel::wayland
