// A dictation is never lost when Sonarel ends in the middle of it: a quit, a logout's SIGTERM,
// or a crash (SIGKILL) followed by a new start.
#include "Montaje.h"

#include "platform/doubles/FakeSpeechModels.h"
#include "platform/doubles/ScriptedSpeechService.h"
#include "support/EventLoop.h"
#include "support/Lecturas.h"
#include "support/Xdotool.h"

#include <gtest/gtest.h>

#include <QClipboard>
#include <QDate>
#include <QDir>
#include <QFile>
#include <QGuiApplication>
#include <QTemporaryDir>

#include <csignal>

namespace sonarel {
namespace {

using testing::leer;
using testing::waitUntil;
using testing::xdotool;

const QString kFrase = QStringLiteral("Hola, esto no se pierde al salir");

// The application's own assembly: ending it mid-dictation archives and copies the text.
TEST(Terminar, EndingMidDictationArchivesAndCopiesTheText) {
    QTemporaryDir casa;
    auto recognizer = std::make_unique<doubles::ScriptedSpeechService>();
    doubles::ScriptedSpeechService& speech = *recognizer;
    testing::Montaje montaje(std::move(recognizer), std::make_unique<doubles::FakeSpeechModels>(),
                             casa.path());
    testing::Xterm xterm("terminar-xterm");
    Aplicacion& app = montaje.app;
    app.motor().textBinding().set("escrito a mano");
    app.alternar();
    ASSERT_TRUE(waitUntil([&] { return app.motor().status() == Status::listening(); }, 10));
    speech.deliverToLatest(RecognitionResult{kFrase, false});
    ASSERT_TRUE(waitUntil([&] { return app.motor().text().endsWith(kFrase); }));

    app.terminarDictado();
    const QString historia = testing::historiaDelMes(app.historial(), montaje.clock);
    EXPECT_TRUE(historia.contains("\n" + kFrase + "\n")) << historia.toStdString();
    EXPECT_EQ(historia.count("escrito a mano"), 1);
    EXPECT_EQ(QGuiApplication::clipboard()->text(), kFrase);
    EXPECT_FALSE(QFile::exists(casa.filePath("state/Sonarel/dictado-en-curso.txt")));
}

// The real binary on the test desktop, dictating into an xterm with the real recognizer.
class TerminarElProceso : public ::testing::Test {
protected:
    TerminarElProceso() {
        for (const char* carpeta : {"data/Sonarel/modelos", "state", "config", "run"}) {
            QDir().mkpath(casa.filePath(carpeta));
        }
        QFile::setPermissions(casa.filePath("run"),
                              QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        QFile::link(QStringLiteral(SONAREL_TEST_MODEL),
                    casa.filePath("data/Sonarel/modelos/ggml-tiny-test.bin"));
        entorno.insert("XDG_DATA_HOME", casa.filePath("data"));
        entorno.insert("XDG_STATE_HOME", casa.filePath("state"));
        entorno.insert("XDG_CONFIG_HOME", casa.filePath("config"));
        entorno.insert("XDG_RUNTIME_DIR", casa.filePath("run"));
    }

    ~TerminarElProceso() override {
        if (sonarel.state() != QProcess::NotRunning) {
            sonarel.kill();
            sonarel.waitForFinished(5000);
        }
    }

    // Starts it dictating at once (as GNOME's shortcut does) into the xterm in front, with
    // speech in the microphone, and waits until the journal holds words.
    void dictar() {
        const auto capturas = [] {
            return testing::ejecutar("pactl", {"list", "short", "source-outputs"})
                .split('\n', Qt::SkipEmptyParts)
                .size();
        };
        const qsizetype antes = capturas();
        xterm.activar();
        sonarel.setProcessEnvironment(entorno);
        sonarel.start(QStringLiteral(SONAREL_BINARY), {"--alternar"});
        ASSERT_TRUE(sonarel.waitForStarted());
        // Until the microphone is open, the speech would go unheard.
        ASSERT_TRUE(waitUntil([&] { return capturas() > antes; }, 30));
        auto reproductor = testing::reproducir(testing::voz(casa.path(), kFrase));
        ASSERT_TRUE(waitUntil([&] { return !leer(diario()).trimmed().isEmpty(); }, 60));
        reproductor->waitForFinished(20000);
    }

    QString diario() const { return casa.filePath("state/Sonarel/dictado-en-curso.txt"); }
    QString historia() const {
        return leer(casa.filePath("data/Sonarel/dictados-" +
                                  QDate::currentDate().toString("yyyy-MM") + ".txt"));
    }

    QTemporaryDir casa;
    QProcessEnvironment entorno = QProcessEnvironment::systemEnvironment();
    testing::Xterm xterm{"terminar-proceso"};
    QProcess sonarel;
};

TEST_F(TerminarElProceso, SigtermMidDictationArchivesTheTextBeforeItEnds) {
    dictar();
    if (HasFatalFailure()) {
        return;
    }
    ::kill(static_cast<pid_t>(sonarel.processId()), SIGTERM);
    ASSERT_TRUE(sonarel.waitForFinished(30000));
    EXPECT_EQ(sonarel.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(sonarel.exitCode(), 0);
    EXPECT_TRUE(historia().contains("====="));
    EXPECT_FALSE(QFile::exists(diario()));
}

TEST_F(TerminarElProceso, AfterSigkillTheNextStartArchivesTheJournalOnce) {
    dictar();
    if (HasFatalFailure()) {
        return;
    }
    sonarel.kill();
    ASSERT_TRUE(sonarel.waitForFinished(10000));
    const QString dejado = leer(diario()).trimmed();
    ASSERT_FALSE(dejado.isEmpty());
    EXPECT_FALSE(historia().contains(dejado));

    sonarel.start(QStringLiteral(SONAREL_BINARY), {});
    ASSERT_TRUE(waitUntil([&] { return !QFile::exists(diario()); }, 20));
    EXPECT_EQ(historia().count("\n" + dejado + "\n"), 1) << historia().toStdString();
    ::kill(static_cast<pid_t>(sonarel.processId()), SIGTERM);
    ASSERT_TRUE(sonarel.waitForFinished(30000));
    EXPECT_EQ(historia().count("\n" + dejado + "\n"), 1);
}

}  // namespace
}  // namespace sonarel
