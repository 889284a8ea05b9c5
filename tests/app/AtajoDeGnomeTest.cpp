// The GNOME custom shortcut, written through the real gsettings tool into a settings file of a
// temporary HOME (the keyfile back end), with GNOME's real schema.
#include "app/AtajoDeGnome.h"

#include <gtest/gtest.h>

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
    EXPECT_FALSE(gnome::anadido());
    EXPECT_EQ(gnome::anadir(orden), std::nullopt);
    EXPECT_TRUE(gnome::anadido());
    EXPECT_EQ(gnome::anadir(orden), std::nullopt);  // again: renewed, not listed twice
    EXPECT_EQ(gsettings({"get", gnome::kEsquema, "custom-keybindings"}),
              "['" + suyo + "', '" + gnome::kRuta + "']");
    // As GLib prints a string holding both kinds of quote.
    EXPECT_EQ(delAtajo("command").toStdString(), R"("\"/opt/it's here/sonarel\" --alternar")");
    EXPECT_EQ(delAtajo("binding"), "'<Alt><Super>d'");
    EXPECT_EQ(delAtajo("name"), "'Sonarel: dictar'");
}

TEST_F(EnGnome, NotOfferedElsewhereNorWithoutGnomesSettings) {
    qputenv("XDG_CURRENT_DESKTOP", "KDE");
    EXPECT_FALSE(gnome::disponible());
    qputenv("XDG_CURRENT_DESKTOP", "GNOME");
    qputenv("XDG_DATA_DIRS", dir.filePath("sin-esquemas").toUtf8());
    EXPECT_FALSE(gnome::disponible());
    EXPECT_NE(gnome::anadir("sonarel --alternar"), std::nullopt);
}

}  // namespace
}  // namespace sonarel
