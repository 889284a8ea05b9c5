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
