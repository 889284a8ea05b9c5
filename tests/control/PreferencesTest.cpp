#include "control/Preferences.h"

#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <sys/stat.h>

namespace sonarel {
namespace {

class PreferencesTest : public ::testing::Test {
protected:
    QString path() const { return dir_.filePath(QStringLiteral("Sonarel.conf")); }

    void writeFile(const QByteArray& contents) const {
        QFile file(path());
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(contents);
    }

    QTemporaryDir dir_;
};

TEST_F(PreferencesTest, RegisteredDefaultsAnswerAnEmptyStore) {
    Preferences prefs(path());
    prefs.registerDefaults(Preferences::valoresPorDefecto());
    EXPECT_EQ(prefs.idioma(), QStringLiteral("es-MX"));
    EXPECT_TRUE(prefs.copiarAlParar());
    EXPECT_FALSE(prefs.pegarAlParar());
    EXPECT_TRUE(prefs.comandosHablados());
    EXPECT_TRUE(prefs.sonidos());
    EXPECT_TRUE(prefs.vocabulario().isEmpty());
    EXPECT_EQ(prefs.reemplazos(), "");
    prefs.sync();
    EXPECT_FALSE(QFile::exists(path())) << "registered values are never written";
}

TEST_F(PreferencesTest, StoredValuesWinAndSurviveARelaunch) {
    {
        Preferences prefs(path());
        prefs.registerDefaults(Preferences::valoresPorDefecto());
        prefs.set(QString::fromLatin1(Preferences::kSinConexion), false);
        prefs.set(QString::fromLatin1(Preferences::kIdioma), QStringLiteral("es-CO"));
        prefs.set(QString::fromLatin1(Preferences::kAutoStop), 4);
        prefs.set(QString::fromLatin1(Preferences::kEnterEnTerminal), true);
        prefs.sync();
    }
    Preferences relaunched(path());
    relaunched.registerDefaults(Preferences::valoresPorDefecto());
    EXPECT_FALSE(relaunched.sinConexion());
    EXPECT_EQ(relaunched.idioma(), QStringLiteral("es-CO"));
    EXPECT_EQ(relaunched.autoStop(), 4.0);
    EXPECT_TRUE(relaunched.enterEnTerminal());
    EXPECT_TRUE(relaunched.copiarAlParar());
}

// The shortcut's keys: Alt+Super+D until the user chooses, the choice kept, and keys a hand edit
// broke read as the default rather than a shortcut nobody can press.
TEST_F(PreferencesTest, TheShortcutIsAltSuperDUntilAnotherIsChosen) {
    const Combinacion ctrlAltK{40, Modifier::Ctrl | Modifier::Alt};
    {
        Preferences prefs(path());
        prefs.registerDefaults(Preferences::valoresPorDefecto());
        EXPECT_EQ(prefs.atajo(), Combinacion());
        EXPECT_EQ(prefs.atajo().texto(), "Alt+Super+D");
        prefs.setAtajo(ctrlAltK);
        prefs.sync();
    }
    Preferences relaunched(path());
    relaunched.registerDefaults(Preferences::valoresPorDefecto());
    EXPECT_EQ(relaunched.atajo(), ctrlAltK);
    EXPECT_EQ(relaunched.atajo().texto(), "Ctrl+Alt+K");

    // Each edit in a file of its own: the settings cache of one path would not see a rewrite
    // within the same second.
    int edicion = 0;
    for (const char* roto :
         {"atajoTecla=10\natajoModificadores=4\n", "atajoTecla=2\natajoModificadores=0\n",
          "atajoTecla=-3\natajoModificadores=4\n", "atajoTecla=d\natajoModificadores=1\n"}) {
        const QString editadoEn = dir_.filePath(QStringLiteral("editado%1.conf").arg(++edicion));
        QFile archivo(editadoEn);
        ASSERT_TRUE(archivo.open(QIODevice::WriteOnly));
        archivo.write(QByteArray("[General]\n") + roto);
        archivo.close();
        Preferences editado(editadoEn);
        editado.registerDefaults(Preferences::valoresPorDefecto());
        EXPECT_EQ(editado.atajo(), Combinacion()) << roto;
    }
}

// Keys pressed in a Qt window become combinations written as a Linux keyboard shows them.
TEST(Combinacion, KeysPressedBecomeCombinationsWithTheirLinuxNames) {
    EXPECT_EQ(Combinacion::deTeclaQt(Qt::Key_D, Qt::AltModifier | Qt::MetaModifier), Combinacion());
    const auto todas =
        Combinacion::deTeclaQt(Qt::Key_Space, Qt::MetaModifier | Qt::ShiftModifier |
                                                  Qt::AltModifier | Qt::ControlModifier);
    ASSERT_TRUE(todas);
    EXPECT_EQ(todas->texto(), "Ctrl+Alt+Shift+Super+Espacio");
    EXPECT_EQ(Combinacion::deTeclaQt(Qt::Key_5, Qt::ControlModifier)->texto(), "Ctrl+5");
    EXPECT_EQ(Combinacion::deTeclaQt(Qt::Key_Comma, Qt::MetaModifier)->texto(), "Super+,");
    EXPECT_EQ(Combinacion::deTeclaQt(Qt::Key_Return, Qt::AltModifier)->texto(), "Alt+Intro");
    // Every key that has a virtual key code comes back from its own text's key.
    EXPECT_EQ(Combinacion::deTeclaQt(Qt::Key_V, Qt::ControlModifier)->tecla, 9u);
    // Without Ctrl, Alt or Super, or a key the layout's table lacks: none.
    EXPECT_FALSE(Combinacion::deTeclaQt(Qt::Key_D, Qt::ShiftModifier));
    EXPECT_FALSE(Combinacion::deTeclaQt(Qt::Key_D, Qt::NoModifier));
    EXPECT_FALSE(Combinacion::deTeclaQt(Qt::Key_F5, Qt::ControlModifier));
    EXPECT_FALSE(Combinacion::deTeclaQt(Qt::Key_Exclam, Qt::ControlModifier | Qt::ShiftModifier));
}

TEST_F(PreferencesTest, HandEditedValuesOfTheWrongTypeReadAsTheDefault) {
    writeFile(
        "[General]\n"
        "idioma=es-AR, es-CL\n"
        "sinConexion=banana\n"
        "puntuacion=\n"
        "copiarAlParar=@Invalid()\n"
        "pegarAlParar=1\n"
        "enterEnTerminal=true\n"
        "autoStop=nunca\n");
    Preferences prefs(path());
    prefs.registerDefaults(Preferences::valoresPorDefecto());
    EXPECT_EQ(prefs.idioma(), QStringLiteral("es-MX"));
    EXPECT_TRUE(prefs.sinConexion());
    EXPECT_TRUE(prefs.puntuacion());
    EXPECT_TRUE(prefs.copiarAlParar());
    EXPECT_FALSE(prefs.pegarAlParar());
    EXPECT_TRUE(prefs.enterEnTerminal());
    EXPECT_EQ(prefs.autoStop(), 0.0);

    writeFile("[General]\nautoStop=2.5\nidioma=es-ES\n");
    Preferences edited(path());
    EXPECT_EQ(edited.autoStop(), 2.5);
    EXPECT_EQ(edited.idioma(), QStringLiteral("es-ES"));
}

TEST(PreferencesStore, LivesInTheConfigHome) {
    QTemporaryDir config;
    qputenv("XDG_CONFIG_HOME", config.path().toUtf8());
    {
        Preferences prefs;
        prefs.set(QString::fromLatin1(Preferences::kPegarAlParar), true);
        prefs.sync();
    }
    QFile file(config.filePath(QStringLiteral("Sonarel/Sonarel.conf")));
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_TRUE(file.readAll().contains("pegarAlParar=true"));
    // Only its owner reads it, even after a rewrite.
    struct stat info {};
    ASSERT_EQ(::stat(QFile::encodeName(file.fileName()).constData(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0600u);
}

}  // namespace
}  // namespace sonarel
