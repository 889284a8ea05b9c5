// The Wayland desktop services against a real compositor: the sway test desktop.
#include "delivery/Terminales.h"
#include "platform/QtClock.h"
#include "platform/wayland/ForeignToplevels.h"
#include "platform/wayland/VirtualKeyboard.h"
#include "platform/wayland/WaylandDesktop.h"
#include "support/EventLoop.h"
#include "support/Lecturas.h"
#include "support/Sway.h"

#include <gtest/gtest.h>

#include <QFile>
#include <QTemporaryDir>

namespace sonarel::wayland {
namespace {

using testing::leer;
using testing::waitUntil;

struct EnSway : ::testing::Test {
    EnSway() {
        WaylandDesktop::Parts partes;
        partes.connection = WaylandConnection::connect();
        if (partes.connection) {
            partes.toplevels = ForeignToplevels::create(*partes.connection);
            partes.clipboard = DataControlClipboard::create(*partes.connection);
            if (auto teclado = VirtualKeyboard::create(*partes.connection)) {
                partes.routes.push_back(std::move(teclado));
            }
        }
        completo = partes.toplevels && partes.clipboard && !partes.routes.empty();
        desktop = std::make_unique<WaylandDesktop>(
            std::move(partes), clock, [](const QString& id) { return terminales().contains(id); },
            QStringList{"sonarel"}, avisos);
        QObject::connect(desktop.get(), &Desktop::applicationActivated,
                         [this](const Application& app) { activadas << *app->applicationId(); });
    }

    bool delante(const QString& id) {
        return waitUntil([&] {
            const Application app = desktop->frontmostApplication();
            return app && app->applicationId() == id;
        });
    }

    QtClock clock;
    DesktopNotices avisos;
    std::unique_ptr<WaylandDesktop> desktop;
    bool completo = false;
    QStringList activadas;
    QTemporaryDir dir;
};

TEST_F(EnSway, ANativeQtFieldGetsTheTextIntactWithItsLineBreaks) {
    ASSERT_TRUE(completo);
    const QString salida = dir.filePath("campo.txt");
    QProcessEnvironment nativo = QProcessEnvironment::systemEnvironment();
    nativo.insert("QT_QPA_PLATFORM", "wayland");
    testing::Programa campo(SONAREL_TEXTFIELD, {salida}, nativo);
    ASSERT_TRUE(delante("sonarel_test_textfield"));
    EXPECT_TRUE(activadas.contains("sonarel_test_textfield"));
    EXPECT_TRUE(desktop->mayPostKeystrokes());

    const QString texto = QStringLiteral("Año: ñandú, acción y pingüino\nSegunda línea");
    desktop->setClipboardText(texto);
    // On the clipboard while another application has the focus.
    EXPECT_EQ(testing::leerPortapapeles().toStdString(), texto.toStdString());
    EXPECT_EQ(testing::leerPortapapeles(true).toStdString(), texto.toStdString());
    ASSERT_TRUE(desktop->postKeystroke(kPasteKeystroke));
    EXPECT_TRUE(waitUntil([&] { return leer(salida) == texto; })) << leer(salida).toStdString();
}

TEST_F(EnSway, FootPastesTheLineAndReturnRunsItOnlyAfterTheTextWasRead) {
    ASSERT_TRUE(completo);
    const QString salida = dir.filePath("linea.txt");
    testing::Programa foot("foot",
                           {"sh", "-c", "IFS= read -r l; printf '%s' \"$l\" > \"$0\"", salida});
    ASSERT_TRUE(delante("foot"));
    const Application terminal = desktop->frontmostApplication();
    EXPECT_EQ(terminal->displayName(), "Foot");
    EXPECT_EQ(desktop->runningApplications().size(), 1u);

    desktop->setClipboardText(QStringLiteral("echo señal"));
    ASSERT_TRUE(desktop->postKeystroke(kPasteKeystroke));
    ASSERT_TRUE(desktop->postKeystroke(kReturnKeystroke));
    EXPECT_TRUE(waitUntil([&] { return leer(salida) == "echo señal"; }))
        << leer(salida).toStdString();
    EXPECT_TRUE(waitUntil([&] { return terminal->isTerminated(); }));
}

// Another client took both selections before the paste went: the terminal pastes that client's
// text, never this process's, so the Return meant for this paste is dropped rather than run the
// line without it; the next paste and its Return go after the drop, in order.
TEST_F(EnSway, AReturnWhosePasteWasNeverReadIsDropped) {
    ASSERT_TRUE(completo);
    const QString salida = dir.filePath("linea.txt");
    // What the terminal gets, as it comes, Return included.
    testing::Programa foot("foot", {"sh", "-c", "stty -icanon -echo; exec cat > \"$0\"", salida});
    ASSERT_TRUE(delante("foot"));

    desktop->setClipboardText(QStringLiteral("echo perdido"));
    ASSERT_EQ(QProcess::execute("wl-copy", {"echo ajeno; "}), 0);
    ASSERT_EQ(QProcess::execute("wl-copy", {"--primary", "echo ajeno; "}), 0);
    ASSERT_TRUE(waitUntil([] { return testing::leerPortapapeles(true) == "echo ajeno; "; }));
    ASSERT_TRUE(desktop->postKeystroke(kPasteKeystroke));
    ASSERT_TRUE(desktop->postKeystroke(kReturnKeystroke));
    ASSERT_TRUE(waitUntil([&] { return leer(salida) == "echo ajeno; "; }, 20));

    desktop->setClipboardText(QStringLiteral("echo leído"));
    ASSERT_TRUE(desktop->postKeystroke(kPasteKeystroke));
    ASSERT_TRUE(desktop->postKeystroke(kReturnKeystroke));
    EXPECT_TRUE(waitUntil([&] { return leer(salida).endsWith('\n'); }, 20));
    EXPECT_EQ(leer(salida).toStdString(), "echo ajeno; echo leído\n");
}

TEST_F(EnSway, ActivatingAnotherWindowBringsItToTheFrontBeforeTheKeystroke) {
    ASSERT_TRUE(completo);
    const QString salida = dir.filePath("campo.txt");
    QProcessEnvironment nativo = QProcessEnvironment::systemEnvironment();
    nativo.insert("QT_QPA_PLATFORM", "wayland");
    testing::Programa campo(SONAREL_TEXTFIELD, {salida}, nativo);
    ASSERT_TRUE(delante("sonarel_test_textfield"));
    const Application anterior = desktop->frontmostApplication();
    testing::Programa foot("foot", {"sh", "-c", "sleep 60"});
    ASSERT_TRUE(delante("foot"));

    desktop->setClipboardText(QStringLiteral("de vuelta"));
    anterior->activate();
    ASSERT_TRUE(desktop->postKeystroke(kPasteKeystroke));
    EXPECT_TRUE(waitUntil([&] { return leer(salida) == "de vuelta"; }));
    EXPECT_EQ(testing::enfocadaEnSway(), "sonarel_test_textfield");
}

}  // namespace
}  // namespace sonarel::wayland
