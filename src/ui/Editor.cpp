#include "ui/Editor.h"

#include "ui/Tema.h"

#include <QGridLayout>
#include <QLabel>
#include <QTextCursor>
#include <QTextEdit>

namespace sonarel {

Editor::Editor(SpeechEngine& motor, QWidget* parent)
    : QWidget(parent), motor_(motor), campo_(new QTextEdit(this)), marcador_(new QLabel(this)) {
    setAutoFillBackground(true);
    setBackgroundRole(QPalette::Base);
    auto* capas = new QGridLayout(this);
    capas->setContentsMargins(12, 12, 12, 12);

    campo_->setAcceptRichText(false);
    campo_->setFrameShape(QFrame::NoFrame);
    campo_->setFont(tema::fuente(font(), tema::kPuntosEditor));
    campo_->viewport()->setAutoFillBackground(false);
    campo_->setStyleSheet(QStringLiteral("QTextEdit { background: transparent; }"));
    campo_->document()->setDocumentMargin(0);
    connect(campo_, &QTextEdit::textChanged, this, [this] {
        if (!mostrandoTextoDelMotor_) {
            motor_.textBinding().set(campo_->toPlainText());
        }
    });
    capas->addWidget(campo_, 0, 0);

    marcador_->setFont(tema::fuente(font(), tema::kPuntosEditor));
    marcador_->setWordWrap(true);
    marcador_->setContentsMargins(5, 8, 5, 8);
    marcador_->setAttribute(Qt::WA_TransparentForMouseEvents);
    tema::ponerColorDeTexto(marcador_, tema::terciario(palette()));
    capas->addWidget(marcador_, 0, 0, Qt::AlignTop);
    marcador_->raise();

    connect(&motor_, &SpeechEngine::statusChanged, this, &Editor::mostrarEstado);
    connect(&motor_, &SpeechEngine::textChanged, this, &Editor::mostrarTexto);
    mostrarEstado();
    mostrarTexto();
}

void Editor::mostrarEstado() {
    marcador_->setText(
        motor_.isListening()
            ? QStringLiteral("Habla…")
            : QStringLiteral("Pulsa Dictar (%1) y habla. El texto aparece aquí.").arg(atajo_));
}

void Editor::setAtajo(const QString& atajo) {
    atajo_ = atajo;
    mostrarEstado();
}

void Editor::mostrarTexto() {
    const QString& texto = motor_.text();
    if (campo_->toPlainText() != texto) {
        mostrandoTextoDelMotor_ = true;
        campo_->setPlainText(texto);
        QTextCursor cursor(campo_->document());
        cursor.select(QTextCursor::Document);
        QTextBlockFormat interlineado;
        interlineado.setLineHeight(3, QTextBlockFormat::LineDistanceHeight);
        cursor.mergeBlockFormat(interlineado);
        cursor.movePosition(QTextCursor::End);
        campo_->setTextCursor(cursor);
        mostrandoTextoDelMotor_ = false;
    }
    marcador_->setVisible(texto.isEmpty());
}

}  // namespace sonarel
