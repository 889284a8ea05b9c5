#include "control/Diario.h"

#include "platform/doubles/FakeClock.h"
#include "platform/doubles/PushAudioInput.h"
#include "platform/doubles/RecordingSoundPlayer.h"
#include "platform/doubles/ScriptedSpeechService.h"
#include "support/EventLoop.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <sys/stat.h>

namespace sonarel {
namespace {

using testing::drainPosted;
using testing::waitUntil;

class DiarioTest : public ::testing::Test {
protected:
    DiarioTest() {
        qputenv("XDG_DATA_HOME", hogar.filePath("data").toUtf8());
        qputenv("XDG_STATE_HOME", hogar.filePath("state").toUtf8());
        clock.setDateTime(QDateTime(QDate(2026, 3, 14), QTime(9, 5, 7)));
    }

    QString diario() const { return hogar.filePath("state/Sonarel/dictado-en-curso.txt"); }
    QString leer(const QString& ruta) const {
        QFile archivo(ruta);
        return archivo.open(QIODevice::ReadOnly) ? QString::fromUtf8(archivo.readAll())
                                                 : QStringLiteral("<ninguno>");
    }
    QString historia() const { return leer(historial.carpeta() + "/dictados-2026-03.txt"); }

    QTemporaryDir hogar;
    doubles::FakeClock clock;
    doubles::FakeMicrophoneConsent microfono;
    doubles::ScriptedSpeechService speech;
    doubles::PushAudioInput audio;
    doubles::RecordingSoundPlayer sonidos;
    SpeechEngine motor{{speech, audio, microfono, sonidos, clock}};
    Historial historial{clock};
    Archivador archivador{motor, historial};
};

// What is heard is on disk at once, for its owner only, and gone once the session's text is
// in the history.
TEST_F(DiarioTest, KeepsTheSessionsTextWhileItRunsAndGoesOnceItIsArchived) {
    Diario journal{motor, historial, archivador};
    motor.onStopped = [&](const QString& texto) { archivador.guardarDictado(texto); };
    motor.textBinding().set("de antes");  // the editor's text is not the session's
    motor.start();
    ASSERT_TRUE(waitUntil([&] { return motor.status() == Status::listening(); }));
    speech.deliverToLatest(RecognitionResult{QStringLiteral("hola mundo largo"), false});
    ASSERT_TRUE(waitUntil([&] { return leer(diario()) == "hola mundo largo"; }));
    speech.deliverToLatest(RecognitionResult{QStringLiteral("hola mundo"), false});
    ASSERT_TRUE(waitUntil([&] { return leer(diario()) == "hola mundo"; }));
    struct stat info {};
    ASSERT_EQ(::stat(QFile::encodeName(diario()).constData(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0600u);

    motor.stop();
    ASSERT_TRUE(waitUntil([&] { return !motor.isStopping(); }));
    EXPECT_TRUE(historia().contains("\nhola mundo\n"));
    EXPECT_FALSE(QFile::exists(diario()));
}

// A journal left by a run that did not end: archived once, shown in the editor, and not
// archived again when the editor is cleared.
TEST_F(DiarioTest, AJournalLeftBehindIsArchivedOnceAndShown) {
    ASSERT_TRUE(QDir().mkpath(hogar.filePath("state/Sonarel")));
    {
        QFile dejado(diario());
        ASSERT_TRUE(dejado.open(QIODevice::WriteOnly));
        dejado.write("lo que quedó sin terminar");
    }
    Diario journal{motor, historial, archivador};
    EXPECT_EQ(journal.recuperar(), std::optional<QString>("lo que quedó sin terminar"));
    EXPECT_EQ(motor.text(), "lo que quedó sin terminar");
    EXPECT_FALSE(QFile::exists(diario()));
    EXPECT_EQ(journal.recuperar(), std::nullopt);
    archivador.guardarYBorrar();
    EXPECT_EQ(historia().count("lo que quedó sin terminar"), 1);
    drainPosted();
}

}  // namespace
}  // namespace sonarel
