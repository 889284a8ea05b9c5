#include "ui/DialogoPalabras.h"

#include "ui/Tema.h"

#include <QDialogButtonBox>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace sonarel {
namespace {

QLabel* explicacion(const QString& texto, QWidget* padre) {
    auto* etiqueta = new QLabel(texto, padre);
    etiqueta->setWordWrap(true);
    tema::ponerColorDeTexto(etiqueta, tema::secundario(etiqueta->palette()));
    return etiqueta;
}

}  // namespace

DialogoPalabras::DialogoPalabras(Preferences& preferencias, QWidget* parent)
    : QDialog(parent),
      preferencias_(preferencias),
      vocabulario_(new QPlainTextEdit(this)),
      reemplazos_(new QPlainTextEdit(this)) {
    setWindowTitle(QStringLiteral("Tus palabras"));
    setObjectName(QStringLiteral("palabras"));
    auto* capas = new QVBoxLayout(this);
    capas->setContentsMargins(tema::kMargenLateral, 14, tema::kMargenLateral, 14);
    capas->setSpacing(6);

    capas->addWidget(new QLabel(QStringLiteral("Nombres y términos"), this));
    capas->addWidget(explicacion(
        QStringLiteral("Uno por línea. El reconocedor los tiene presentes para escribirlos así."),
        this));
    vocabulario_->setPlaceholderText(QStringLiteral("Sonarel\nAna Belén\nKubernetes"));
    vocabulario_->setPlainText(preferencias_.vocabulario().join(u'\n'));
    capas->addWidget(vocabulario_, 1);

    capas->addSpacing(8);
    capas->addWidget(new QLabel(QStringLiteral("Reemplazos"), this));
    capas->addWidget(explicacion(QStringLiteral("Uno por línea: lo que dices → cómo se escribe. "
                                                "Se respetan las mayúsculas con que se oyó."),
                                 this));
    reemplazos_->setPlaceholderText(QStringLiteral("guasap → WhatsApp\narroba → @"));
    reemplazos_->setPlainText(preferencias_.reemplazos());
    capas->addWidget(reemplazos_, 1);

    auto* botones = new QDialogButtonBox(QDialogButtonBox::Save | QDialogButtonBox::Cancel, this);
    // Plain text buttons, as in the other windows.
    for (QAbstractButton* boton : botones->buttons()) {
        boton->setIcon(QIcon());
    }
    botones->button(QDialogButtonBox::Save)->setText(QStringLiteral("Guardar"));
    botones->button(QDialogButtonBox::Cancel)->setText(QStringLiteral("Cancelar"));
    connect(botones, &QDialogButtonBox::accepted, this, &DialogoPalabras::guardar);
    connect(botones, &QDialogButtonBox::rejected, this, &QDialog::reject);
    capas->addSpacing(4);
    capas->addWidget(botones);
    resize(440, 420);
}

void DialogoPalabras::guardar() {
    preferencias_.set(QString::fromLatin1(Preferences::kVocabulario),
                      vocabulario_->toPlainText().trimmed());
    preferencias_.set(QString::fromLatin1(Preferences::kReemplazos),
                      reemplazos_->toPlainText().trimmed());
    preferencias_.sync();
    accept();
}

}  // namespace sonarel
