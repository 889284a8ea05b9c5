#include "ui/DialogoAtajo.h"

#include "ui/Tema.h"

#include <QDialogButtonBox>
#include <QKeyEvent>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

namespace sonarel {

DialogoAtajo::DialogoAtajo(Combinacion actual, Usar usar, QWidget* parent)
    : QDialog(parent),
      usarCombinacion_(std::move(usar)),
      elegida_(actual),
      combinacion_(new QLabel(this)),
      mensaje_(new QLabel(this)),
      porDefecto_(new QPushButton(QStringLiteral("Restablecer ") + Combinacion().texto(), this)),
      usar_(new QPushButton(QStringLiteral("Usar"), this)) {
    setWindowTitle(QStringLiteral("Atajo para dictar"));
    setObjectName(QStringLiteral("atajo"));
    auto* capas = new QVBoxLayout(this);
    capas->setContentsMargins(tema::kMargenLateral, 14, tema::kMargenLateral, 14);
    capas->setSpacing(8);

    auto* indicacion = new QLabel(
        QStringLiteral("Pulsa la combinación que quieres usar: una tecla con Ctrl, Alt o Super."),
        this);
    indicacion->setWordWrap(true);
    capas->addWidget(indicacion);

    // The keys are read here, before any button or shortcut of the window sees them.
    combinacion_->setAlignment(Qt::AlignCenter);
    combinacion_->setFocusPolicy(Qt::StrongFocus);
    combinacion_->setMinimumHeight(56);
    combinacion_->setFrameShape(QFrame::StyledPanel);
    QFont grande = combinacion_->font();
    grande.setPointSizeF(grande.pointSizeF() * 1.6);
    grande.setBold(true);
    combinacion_->setFont(grande);
    combinacion_->installEventFilter(this);
    capas->addWidget(combinacion_);

    mensaje_->setWordWrap(true);
    mensaje_->setTextInteractionFlags(Qt::TextSelectableByMouse);
    tema::ponerColorDeTexto(mensaje_, tema::naranja(mensaje_->palette()));
    capas->addWidget(mensaje_);
    capas->addStretch(1);

    auto* botones = new QDialogButtonBox(this);
    botones->addButton(porDefecto_, QDialogButtonBox::ResetRole);
    auto* cancelar = botones->addButton(QStringLiteral("Cancelar"), QDialogButtonBox::RejectRole);
    botones->addButton(usar_, QDialogButtonBox::AcceptRole);
    for (QAbstractButton* boton : botones->buttons()) {
        boton->setFocusPolicy(Qt::NoFocus);
        static_cast<QPushButton*>(boton)->setAutoDefault(false);
    }
    connect(porDefecto_, &QPushButton::clicked, this, [this] { elegir(Combinacion()); });
    connect(cancelar, &QPushButton::clicked, this, &QDialog::reject);
    connect(usar_, &QPushButton::clicked, this, [this] {
        const std::optional<QString> motivo = usarCombinacion_(elegida_);
        if (motivo) {
            mensaje_->setText(*motivo);
            return;
        }
        accept();
    });
    capas->addWidget(botones);
    elegir(actual);
    combinacion_->setFocus();
    resize(420, 220);
}

void DialogoAtajo::elegir(const Combinacion& combinacion) {
    elegida_ = combinacion;
    combinacion_->setText(combinacion.texto());
    mensaje_->clear();
}

bool DialogoAtajo::eventFilter(QObject* objeto, QEvent* evento) {
    if (objeto != combinacion_ ||
        (evento->type() != QEvent::KeyPress && evento->type() != QEvent::ShortcutOverride)) {
        return QDialog::eventFilter(objeto, evento);
    }
    auto* tecla = static_cast<QKeyEvent*>(evento);
    if (evento->type() == QEvent::ShortcutOverride) {
        // Every key with a modifier is a candidate, not a shortcut of this window.
        tecla->accept();
        return true;
    }
    const int codigo = tecla->key();
    if (tecla->modifiers() == Qt::NoModifier && codigo == Qt::Key_Escape) {
        reject();
        return true;
    }
    if (codigo == Qt::Key_Control || codigo == Qt::Key_Shift || codigo == Qt::Key_Alt ||
        codigo == Qt::Key_Meta || codigo == Qt::Key_Super_L || codigo == Qt::Key_Super_R ||
        codigo == Qt::Key_AltGr) {
        return true;  // still composing the combination
    }
    if (std::optional<Combinacion> nueva = Combinacion::deTeclaQt(codigo, tecla->modifiers())) {
        elegir(*nueva);
    } else {
        mensaje_->setText(
            QStringLiteral("Esa combinación no sirve: usa una letra, una cifra o un signo con "
                           "Ctrl, Alt o Super."));
    }
    return true;
}

}  // namespace sonarel
