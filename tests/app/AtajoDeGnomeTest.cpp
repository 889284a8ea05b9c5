// The GNOME custom shortcut, written through the real gsettings tool into a settings file of a
// temporary HOME (the keyfile back end), with GNOME's real schema.
#include "app/AtajoDeGnome.h"
#include "platform/x11/KeyCodes.h"

#include <gtest/gtest.h>
#include <xkbcommon/xkbcommon.h>

#include <QProcess>
#include <QTemporaryDir>

namespace sonarel {
namespace {

namespace gnome = atajo_de_gnome;

QString gsettings(const QStringList& argumentos) {
    QProcess proceso;
    proceso.start("gsettings", argumentos);
    proceso.waitForFinished();
    return QString::fromUtf8(proceso.readAllStandardOutput()).trimmed();
}

QString delAtajo(const QString& clave) {
    return gsettings(
        {"get", QString(gnome::kEsquema) + ".custom-keybinding:" + gnome::kRuta, clave});
}

struct EnGnome : ::testing::Test {
    EnGnome() {
        for (const char* variable :
             {"GSETTINGS_BACKEND", "XDG_CONFIG_HOME", "XDG_CURRENT_DESKTOP", "XDG_DATA_DIRS"}) {
            antes.emplace_back(variable, qgetenv(variable));
        }
        qputenv("GSETTINGS_BACKEND", "keyfile");
        qputenv("XDG_CONFIG_HOME", dir.path().toUtf8());
        qputenv("XDG_CURRENT_DESKTOP", "ubuntu:GNOME");
    }
    ~EnGnome() override {
        for (const auto& [variable, valor] : antes) {
            valor.isNull() ? qunsetenv(variable) : qputenv(variable, valor);
        }
    }

    QTemporaryDir dir;
    std::vector<std::pair<const char*, QByteArray>> antes;
};

TEST_F(EnGnome, TheShortcutJoinsTheUsersOwnOnceAndRunsTheCommand) {
    ASSERT_TRUE(gnome::disponible());
    const QString suyo =
        "/org/gnome/settings-daemon/plugins/media-keys/custom-keybindings/custom0/";
    gsettings({"set", gnome::kEsquema, "custom-keybindings", "['" + suyo + "']"});

    const QString orden = "\"/opt/it's here/sonarel\" --alternar";
    EXPECT_FALSE(gnome::anadido(Combinacion()));
    EXPECT_EQ(gnome::anadir(orden, Combinacion()), std::nullopt);
    EXPECT_TRUE(gnome::anadido(Combinacion()));
    EXPECT_EQ(gnome::anadir(orden, Combinacion()),
              std::nullopt);  // again: renewed, not listed twice
    EXPECT_EQ(gsettings({"get", gnome::kEsquema, "custom-keybindings"}),
              "['" + suyo + "', '" + gnome::kRuta + "']");
    // As GLib prints a string holding both kinds of quote.
    EXPECT_EQ(delAtajo("command").toStdString(), R"("\"/opt/it's here/sonarel\" --alternar")");
    EXPECT_EQ(delAtajo("binding"), "'<Alt><Super>d'");
    EXPECT_EQ(delAtajo("name"), "'Sonarel: dictar'");
}

// Another combination chosen: the shortcut binds its keys, and the one bound before no longer
// counts as there.
TEST_F(EnGnome, TheShortcutBindsTheChosenKeys) {
    const Combinacion elegida{4, Modifier::Shift | Modifier::Super};  // Shift+Super+H
    ASSERT_EQ(gnome::anadir("sonarel --alternar", Combinacion()), std::nullopt);
    EXPECT_FALSE(gnome::anadido(elegida));
    EXPECT_EQ(gnome::anadir("sonarel --alternar", elegida), std::nullopt);
    EXPECT_EQ(delAtajo("binding"), "'<Shift><Super>h'");
    EXPECT_TRUE(gnome::anadido(elegida));
    EXPECT_FALSE(gnome::anadido(Combinacion()));
    EXPECT_EQ(gnome::teclas({40, Modifier::Ctrl | Modifier::Alt}), "<Control><Alt>k");
}

// GNOME looks a key's name up as xkbcommon does: each key a combination may name reads back as the
// keysym the X11 back end grabs for it.
TEST(TeclasDeGnome, EachKeyIsWrittenAsTheNameOfItsKeysym) {
    int nombradas = 0;
    for (std::uint16_t tecla = 0; tecla < 54; ++tecla) {
        const std::optional<xcb_keysym_t> keysym = x11::keysymOfVirtualKey(tecla);
        if (!keysym) {
            continue;
        }
        const QString teclas = gnome::teclas({tecla, Modifier::Super});
        ASSERT_TRUE(teclas.startsWith("<Super>"));
        const QByteArray nombre = teclas.mid(7).toLatin1();
        EXPECT_EQ(xkb_keysym_from_name(nombre.constData(), XKB_KEYSYM_NO_FLAGS), *keysym)
            << tecla << " " << nombre.constData();
        ++nombradas;
    }
    EXPECT_EQ(nombradas, 52);
}

}  // namespace
}  // namespace sonarel
