// The autostart entry, written into a temporary XDG_CONFIG_HOME and read back as a desktop reads
// it.
#include "app/InicioConSesion.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

namespace sonarel {
namespace {

struct ConfiguracionPropia : ::testing::Test {
    ConfiguracionPropia() : antes(qgetenv("XDG_CONFIG_HOME")) {
        qputenv("XDG_CONFIG_HOME", dir.path().toUtf8());
    }
    ~ConfiguracionPropia() override {
        antes.isNull() ? qunsetenv("XDG_CONFIG_HOME") : qputenv("XDG_CONFIG_HOME", antes);
    }

    QTemporaryDir dir;
    QByteArray antes;
};

TEST_F(ConfiguracionPropia, TheEntryAppearsStartingSonarelHiddenAndGoes) {
    const QString ruta = dir.path() + "/autostart/sonarel.desktop";
    EXPECT_EQ(inicio_con_sesion::rutaDeLaEntrada(), ruta);
    EXPECT_FALSE(inicio_con_sesion::activo());

    EXPECT_EQ(inicio_con_sesion::activar(true), std::nullopt);
    EXPECT_TRUE(inicio_con_sesion::activo());
    QFile archivo(ruta);
    ASSERT_TRUE(archivo.open(QIODevice::ReadOnly));
    const QStringList lineas = QString::fromUtf8(archivo.readAll()).split('\n');
    EXPECT_EQ(lineas.value(0), "[Desktop Entry]");
    EXPECT_TRUE(lineas.contains("Type=Application"));
    EXPECT_TRUE(lineas.contains("Exec=" + inicio_con_sesion::ordenOculta()));
    // Run from the build folder, the program by its full path, quoted.
    EXPECT_EQ(inicio_con_sesion::ordenOculta(),
              '"' + QFileInfo(QCoreApplication::applicationFilePath()).canonicalFilePath() +
                  "\" --oculto");

    EXPECT_EQ(inicio_con_sesion::activar(false), std::nullopt);
    EXPECT_FALSE(QFile::exists(ruta));
    EXPECT_EQ(inicio_con_sesion::activar(false), std::nullopt);  // already gone: nothing to do
}

TEST_F(ConfiguracionPropia, AFolderThatCannotBeWrittenIsNamed) {
    QFile bloqueo(dir.path() + "/autostart");
    ASSERT_TRUE(bloqueo.open(QIODevice::WriteOnly));  // a file where the folder should be
    bloqueo.close();
    const std::optional<QString> error = inicio_con_sesion::activar(true);
    ASSERT_TRUE(error);
    EXPECT_TRUE(error->contains(inicio_con_sesion::rutaDeLaEntrada()));
}

}  // namespace
}  // namespace sonarel
