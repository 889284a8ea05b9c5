// A small window with a text field, for the desktop tests: it writes the field's whole text to
// the file named on its command line at every change.
#include <QApplication>
#include <QFile>
#include <QPlainTextEdit>
#include <QSaveFile>

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("campo"));
    const QString path = QApplication::arguments().value(1);
    QPlainTextEdit field;
    field.setWindowTitle(QStringLiteral("Campo de texto"));
    QObject::connect(&field, &QPlainTextEdit::textChanged, [&] {
        QSaveFile file(path);
        if (file.open(QIODevice::WriteOnly)) {
            file.write(field.toPlainText().toUtf8());
            file.commit();
        }
    });
    field.resize(400, 200);
    field.show();
    return QApplication::exec();
}
