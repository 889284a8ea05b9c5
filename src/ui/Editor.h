#pragma once

#include "engine/SpeechEngine.h"

#include <QWidget>

class QLabel;
class QTextEdit;

namespace sonarel {

// The main window's editor: the engine's text, editable while the engine is not listening,
// with a faint placeholder over it while the text is empty.
class Editor : public QWidget {
    Q_OBJECT

public:
    explicit Editor(SpeechEngine& motor, QWidget* parent = nullptr);

    QTextEdit* campo() const { return campo_; }
    QLabel* marcador() const { return marcador_; }
    // The shortcut as the placeholder names it.
    void setAtajo(const QString& atajo);

private:
    void mostrarEstado();
    void mostrarTexto();

    SpeechEngine& motor_;
    QTextEdit* campo_;
    QLabel* marcador_;
    bool mostrandoTextoDelMotor_ = false;
    QString atajo_ = QStringLiteral("Alt+Super+D");
};

}  // namespace sonarel
