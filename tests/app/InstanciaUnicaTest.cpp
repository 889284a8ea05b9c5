#include "app/InstanciaUnica.h"

#include "support/EventLoop.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFileInfo>
#include <QTemporaryDir>

#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <cstring>

namespace sonarel {
namespace {

TEST(InstanciaUnica, ASocketLeftBehindByACrashedCopyIsTakenOver) {
    QTemporaryDir dir;
    const QString nombre = QDir(dir.path()).filePath(QStringLiteral("sonarel.sock"));
    // A bound socket whose owner is gone: the file stays, nobody listens.
    const int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
    ASSERT_GE(fd, 0);
    sockaddr_un direccion{};
    direccion.sun_family = AF_UNIX;
    std::strncpy(direccion.sun_path, nombre.toLocal8Bit().constData(),
                 sizeof(direccion.sun_path) - 1);
    ASSERT_EQ(::bind(fd, reinterpret_cast<sockaddr*>(&direccion), sizeof(direccion)), 0);
    ::close(fd);
    ASSERT_TRUE(QFileInfo::exists(nombre));

    InstanciaUnica nueva(nombre);
    EXPECT_TRUE(nueva.reclamar(InstanciaUnica::Aviso::Mostrar));
    EXPECT_TRUE(QFileInfo::exists(nombre));
}

TEST(InstanciaUnica, AnUnusableSocketFolderStillLetsTheCopyRun) {
    InstanciaUnica sola(QStringLiteral("/proc/no-such-folder/sonarel.sock"));
    EXPECT_TRUE(sola.reclamar(InstanciaUnica::Aviso::Mostrar));
}

// `sonarel --empezar` and `--parar`, which a compositor binds to a shortcut's press and release.
TEST(InstanciaUnica, LaterStartsAskTheRunningCopyToStartOrStop) {
    QTemporaryDir dir;
    const QString nombre = QDir(dir.path()).filePath(QStringLiteral("sonarel.sock"));
    InstanciaUnica corriendo(nombre);
    ASSERT_TRUE(corriendo.reclamar(InstanciaUnica::Aviso::Mostrar));
    QStringList recibidos;
    QObject::connect(&corriendo, &InstanciaUnica::empezar, [&] { recibidos << "empezar"; });
    QObject::connect(&corriendo, &InstanciaUnica::parar, [&] { recibidos << "parar"; });
    QObject::connect(&corriendo, &InstanciaUnica::alternar, [&] { recibidos << "alternar"; });

    InstanciaUnica empezar(nombre);
    EXPECT_FALSE(empezar.reclamar(InstanciaUnica::Aviso::Empezar));
    EXPECT_TRUE(testing::waitUntil([&] { return recibidos.size() == 1; }));
    InstanciaUnica parar(nombre);
    EXPECT_FALSE(parar.reclamar(InstanciaUnica::Aviso::Parar));
    EXPECT_TRUE(testing::waitUntil([&] { return recibidos.size() == 2; }));
    EXPECT_EQ(recibidos, (QStringList{"empezar", "parar"}));
}

}  // namespace
}  // namespace sonarel
