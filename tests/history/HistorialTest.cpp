#include "history/Historial.h"
#include "platform/doubles/FakeClock.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <thread>

#include <sys/stat.h>

namespace sonarel {
namespace {

class HistorialTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(data_.isValid());
        qputenv("XDG_DATA_HOME", data_.path().toUtf8());
        clock_.setDateTime(QDateTime(QDate(2026, 3, 14), QTime(9, 5, 7)));
    }

    QString folder() const { return data_.path() + QStringLiteral("/Sonarel"); }

    QByteArray read(const QString& month) const {
        QFile file(folder() + QStringLiteral("/dictados-") + month + QStringLiteral(".txt"));
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<missing>");
    }

    QTemporaryDir data_;
    doubles::FakeClock clock_;
    Historial historial_{clock_};
};

// Dictations are for their owner: a new folder and file are private, and ones made before that
// (0755, 0644) become so at the next entry.
TEST_F(HistorialTest, TheFolderAndFilesAreTheOwnersOnly) {
    const auto mode = [](const QString& path) {
        struct stat info {};
        return ::stat(QFile::encodeName(path).constData(), &info) == 0 ? info.st_mode & 0777 : 0u;
    };
    historial_.guardar(QStringLiteral("uno"));
    const QString file = folder() + QStringLiteral("/dictados-2026-03.txt");
    EXPECT_EQ(mode(folder()), 0700u);
    EXPECT_EQ(mode(file), 0600u);

    ::chmod(QFile::encodeName(folder()).constData(), 0755);
    ::chmod(QFile::encodeName(file).constData(), 0644);
    historial_.guardar(QStringLiteral("dos"));
    EXPECT_EQ(mode(folder()), 0700u);
    EXPECT_EQ(mode(file), 0600u);
}

TEST_F(HistorialTest, BlankTextWritesNothingAndReadingTheFolderCreatesIt) {
    historial_.guardar(QStringLiteral(" \n\t\u00a0\u2028\r\n"));
    EXPECT_FALSE(QDir(folder()).exists());
    EXPECT_EQ(historial_.carpeta(), folder());
    EXPECT_TRUE(QDir(folder()).exists());
}

TEST_F(HistorialTest, EntriesAreByteExactAndAppendedAndAFolderDeletedIsRecreated) {
    historial_.guardar(QStringLiteral("  hola\n\n"));
    clock_.advance(3723);  // 1 h 2 min 3 s later
    historial_.guardar(QStringLiteral("¿Qué tal, señor?\n\nSegunda línea\r\ncon CR ¡sí!"));
    EXPECT_EQ(read(QStringLiteral("2026-03")),
              QByteArray("\n\n===== 2026-03-14 09:05:07 =====\nhola\n"
                         "\n\n===== 2026-03-14 10:07:10 =====\n"
                         "\xc2\xbfQu\xc3\xa9 tal, se\xc3\xb1or?\n\nSegunda l\xc3\xadnea\r\ncon CR "
                         "\xc2\xa1s\xc3\xad!\n"));

    ASSERT_TRUE(QDir(folder()).removeRecursively());
    historial_.guardar(QStringLiteral("dos"));
    EXPECT_EQ(read(QStringLiteral("2026-03")),
              QByteArray("\n\n===== 2026-03-14 10:07:10 =====\ndos\n"));
}

TEST_F(HistorialTest, FirstSaveOfAMonthStartsItsOwnFile) {
    clock_.setDateTime(QDateTime(QDate(2026, 3, 31), QTime(23, 59, 59)));
    historial_.guardar(QStringLiteral("marzo"));
    clock_.advance(2);
    historial_.guardar(QStringLiteral("abril"));
    EXPECT_EQ(read(QStringLiteral("2026-03")),
              QByteArray("\n\n===== 2026-03-31 23:59:59 =====\nmarzo\n"));
    EXPECT_EQ(read(QStringLiteral("2026-04")),
              QByteArray("\n\n===== 2026-04-01 00:00:01 =====\nabril\n"));
}

TEST_F(HistorialTest, AFileThatCannotBeOpenedIsLeftAloneSilently) {
    ASSERT_TRUE(QDir().mkpath(folder() + QStringLiteral("/dictados-2026-03.txt/dentro")));
    historial_.guardar(QStringLiteral("hola"));
    EXPECT_TRUE(QDir(folder() + QStringLiteral("/dictados-2026-03.txt/dentro")).exists());
}

TEST_F(HistorialTest, TwoWritersAtOnceLoseNothing) {
    constexpr int kPerWriter = 300;
    const QString text = QStringLiteral("un dictado bastante largo ").repeated(40);
    auto writer = [&](QChar tag) {
        Historial own(clock_);
        for (int i = 0; i < kPerWriter; ++i) {
            own.guardar(QString(tag) + text + QString::number(i));
        }
    };
    std::thread a(writer, QLatin1Char('A'));
    std::thread b(writer, QLatin1Char('B'));
    a.join();
    b.join();

    // Each entry is exactly: "", "", header, text line; the file ends with a final "".
    const QList<QByteArray> lines = read(QStringLiteral("2026-03")).split('\n');
    ASSERT_EQ(lines.size(), 2 * kPerWriter * 4 + 1);
    int fromA = 0;
    for (int i = 0; i < 2 * kPerWriter; ++i) {
        EXPECT_EQ(lines[4 * i] + lines[4 * i + 1], QByteArray());
        EXPECT_EQ(lines[4 * i + 2], QByteArray("===== 2026-03-14 09:05:07 ====="));
        EXPECT_EQ(lines[4 * i + 3].mid(1, text.size()), text.toUtf8());
        fromA += lines[4 * i + 3].startsWith('A');
    }
    EXPECT_EQ(fromA, kPerWriter);
}

// A clock that has moved on by the next time it is read.
class ClockAtTheMonthsEnd : public doubles::FakeClock {
public:
    QDateTime currentDateTime() const override {
        return reads_++ == 0 ? QDateTime(QDate(2026, 3, 31), QTime(23, 59, 59, 999))
                             : QDateTime(QDate(2026, 4, 1), QTime(0, 0, 0, 1));
    }

private:
    mutable int reads_ = 0;
};

TEST_F(HistorialTest, AnEntryWrittenAsTheMonthEndsLandsInTheMonthItIsStampedWith) {
    ClockAtTheMonthsEnd clock;
    Historial(clock).guardar(QStringLiteral("última"));
    EXPECT_EQ(read("2026-03"), "\n\n===== 2026-03-31 23:59:59 =====\núltima\n");
    EXPECT_EQ(read("2026-04"), "<missing>");
}

}  // namespace
}  // namespace sonarel
