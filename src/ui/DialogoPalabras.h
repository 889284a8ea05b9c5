#pragma once

#include "control/Preferences.h"

#include <QDialog>

class QPlainTextEdit;

namespace sonarel {

// "Tus palabras": the names and terms told to the recognizer, and the replacements "dices → se
// escribe", one a line each. "Guardar" writes both preferences; "Cancelar" leaves them.
class DialogoPalabras : public QDialog {
    Q_OBJECT

public:
    DialogoPalabras(Preferences& preferencias, QWidget* parent = nullptr);

    QPlainTextEdit& vocabulario() { return *vocabulario_; }
    QPlainTextEdit& reemplazos() { return *reemplazos_; }

private:
    void guardar();

    Preferences& preferencias_;
    QPlainTextEdit* vocabulario_;
    QPlainTextEdit* reemplazos_;
};

}  // namespace sonarel
