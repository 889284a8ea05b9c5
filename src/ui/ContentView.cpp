#include "ui/ContentView.h"

#include "ui/Cabecera.h"
#include "ui/Editor.h"
#include "ui/Pie.h"
#include "ui/Tema.h"

#include <QEvent>
#include <QFrame>
#include <QKeyEvent>
#include <QTextEdit>
#include <QVBoxLayout>

namespace sonarel {
namespace {

QFrame* divisor(QWidget* parent) {
    auto* linea = new QFrame(parent);
    linea->setFrameShape(QFrame::HLine);
    linea->setFrameShadow(QFrame::Plain);
    linea->setFixedHeight(1);
    QPalette palette = linea->palette();
    palette.setColor(QPalette::WindowText,
                     tema::conOpacidad(tema::tinta(palette), tema::kOpacidadDivisor));
    linea->setPalette(palette);
    return linea;
}

}  // namespace

ContentView::ContentView(SpeechEngine& motor, Servicios servicios, QWidget* parent)
    : QWidget(parent),
      servicios_(servicios),
      cabecera_(new Cabecera(motor, servicios, this)),
      editor_(new Editor(motor, this)),
      pie_(new Pie(motor, std::move(servicios), this)) {
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addWidget(cabecera_);
    layout->addWidget(divisor(this));
    layout->addWidget(editor_, 1);
    layout->addWidget(divisor(this));
    layout->addWidget(pie_);
    setMinimumSize(700, 460);
    editor_->campo()->installEventFilter(this);
}

void ContentView::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    if (!sincronizado_) {
        sincronizado_ = true;
        servicios_.sincronizarPreferencias();
    }
}

void ContentView::changeEvent(QEvent* event) {
    QWidget::changeEvent(event);
    // The preferences may have been edited elsewhere since the window was last in front: show
    // what the store holds now, and hand it to the engine.
    if (event->type() == QEvent::ActivationChange && isActiveWindow()) {
        servicios_.preferencias.sync();
        cabecera_->mostrarPreferencias();
        servicios_.sincronizarPreferencias();
    }
}

// The editor would take the footer's chords for its own editing; the footer's shortcuts win
// while their actions are enabled.
bool ContentView::eventFilter(QObject* watched, QEvent* event) {
    if (watched == editor_->campo() && event->type() == QEvent::ShortcutOverride &&
        pie_->tomaAtajo(QKeySequence(static_cast<QKeyEvent*>(event)->keyCombination()))) {
        event->ignore();
        return true;
    }
    return QWidget::eventFilter(watched, event);
}

}  // namespace sonarel
