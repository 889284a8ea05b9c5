#include "ui/VentanaPreferencias.h"

#include "engine/Replacements.h"
#include "ui/DialogoPalabras.h"
#include "ui/Tema.h"

#include <QCheckBox>
#include <QComboBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

namespace sonarel {
namespace {

QLabel* titulo(const QString& texto, QWidget* padre) {
    auto* etiqueta = new QLabel(texto, padre);
    QFont fuente = etiqueta->font();
    fuente.setBold(true);
    etiqueta->setFont(fuente);
    return etiqueta;
}

// A setting's explanation under it, indented to its text, in the secondary tint.
QLabel* explicacion(const QString& texto, QWidget* padre) {
    auto* etiqueta = new QLabel(texto, padre);
    etiqueta->setWordWrap(true);
    tema::ponerColorDeTexto(etiqueta, tema::secundario(etiqueta->palette()));
    etiqueta->setContentsMargins(24, 0, 0, 0);
    return etiqueta;
}

QString cuenta(qsizetype n, const char* uno, const char* varios) {
    return n == 1 ? QStringLiteral("1 %1").arg(QString::fromUtf8(uno))
                  : QStringLiteral("%1 %2").arg(n).arg(QString::fromUtf8(varios));
}

}  // namespace

VentanaPreferencias::VentanaPreferencias(Servicios servicios, QWidget* parent)
    : QWidget(parent, Qt::Window),
      s_(std::move(servicios)),
      combinacion_(new QLabel(this)),
      atajo_(new QComboBox(this)),
      microfono_(new QComboBox(this)),
      comandos_(new QCheckBox(QStringLiteral("Comandos hablados"), this)),
      sonidos_(new QCheckBox(QStringLiteral("Sonido al empezar y al parar"), this)),
      resumen_(new QLabel(this)),
      inicio_(new QCheckBox(QStringLiteral("Iniciar con la sesión"), this)),
      mensaje_(new QLabel(this)) {
    setWindowTitle(QStringLiteral("Preferencias"));
    setObjectName(QStringLiteral("preferencias"));
    auto* capas = new QVBoxLayout(this);
    capas->setContentsMargins(tema::kMargenLateral, 14, tema::kMargenLateral, 14);
    capas->setSpacing(6);

    capas->addWidget(titulo(QStringLiteral("Atajo"), this));
    auto* filaAtajo = new QHBoxLayout;
    filaAtajo->addWidget(combinacion_);
    atajo_->addItem(QStringLiteral("Pulsar para empezar y parar"));
    atajo_->addItem(QStringLiteral("Mantener pulsado"));
    filaAtajo->addWidget(atajo_);
    filaAtajo->addStretch(1);
    auto* cambiar = new QPushButton(QStringLiteral("Cambiar…"), this);
    connect(cambiar, &QPushButton::clicked, this, &VentanaPreferencias::cambiarAtajo);
    filaAtajo->addWidget(cambiar);
    capas->addLayout(filaAtajo);
    capas->addWidget(explicacion(QStringLiteral("Mantenido, dicta mientras las teclas siguen "
                                                "abajo; un toque breve no empieza nada."),
                                 this));
    connect(atajo_, &QComboBox::activated, this, [this](int indice) {
        s_.preferencias.set(QString::fromLatin1(Preferences::kAtajoMantenido), indice == 1);
        s_.preferencias.sync();
    });

    capas->addSpacing(10);
    capas->addWidget(titulo(QStringLiteral("Micrófono"), this));
    microfono_->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
    microfono_->setMinimumContentsLength(30);
    auto* filaMicrofono = new QHBoxLayout;
    filaMicrofono->addWidget(microfono_);
    filaMicrofono->addStretch(1);
    capas->addLayout(filaMicrofono);
    capas->addWidget(explicacion(QStringLiteral("Si el elegido no está conectado al dictar, se "
                                                "graba con el predeterminado y se avisa."),
                                 this));
    connect(microfono_, &QComboBox::activated, this, [this](int indice) {
        s_.preferencias.set(QString::fromLatin1(Preferences::kMicrofono),
                            microfono_->itemData(indice).toString());
        s_.preferencias.sync();
        s_.sincronizarPreferencias();
    });

    capas->addSpacing(10);
    capas->addWidget(titulo(QStringLiteral("Dictado"), this));
    capas->addWidget(comandos_);
    capas->addWidget(explicacion(
        QStringLiteral("Di «coma», «punto», «punto y coma», «dos puntos», «punto y aparte», «nueva "
                       "línea», «abre interrogación»… y se escribe el signo."),
        this));
    connect(comandos_, &QCheckBox::toggled, this, [this](bool activo) {
        s_.preferencias.set(QString::fromLatin1(Preferences::kComandosHablados), activo);
        s_.preferencias.sync();
        s_.sincronizarPreferencias();
    });
    capas->addWidget(sonidos_);
    capas->addWidget(explicacion(QStringLiteral("Un tono breve al abrirse el micrófono y otro al "
                                                "cerrarse; el dictado nunca lo toma por voz."),
                                 this));
    connect(sonidos_, &QCheckBox::toggled, this, [this](bool activo) {
        s_.preferencias.set(QString::fromLatin1(Preferences::kSonidos), activo);
        s_.preferencias.sync();
        s_.sincronizarPreferencias();
    });

    capas->addSpacing(10);
    capas->addWidget(titulo(QStringLiteral("Tus palabras"), this));
    auto* filaPalabras = new QHBoxLayout;
    resumen_->setWordWrap(true);
    filaPalabras->addWidget(resumen_, 1);
    auto* editar = new QPushButton(QStringLiteral("Editar…"), this);
    connect(editar, &QPushButton::clicked, this, &VentanaPreferencias::editarPalabras);
    filaPalabras->addWidget(editar, 0, Qt::AlignTop);
    capas->addLayout(filaPalabras);

    capas->addSpacing(10);
    capas->addWidget(titulo(QStringLiteral("Inicio"), this));
    capas->addWidget(inicio_);
    capas->addWidget(explicacion(QStringLiteral("Sonarel se abre oculto en la bandeja al entrar, "
                                                "y el atajo funciona sin abrir la ventana."),
                                 this));
    connect(inicio_, &QCheckBox::clicked, this, [this](bool activo) {
        const std::optional<QString> error = s_.iniciarConSesion(activo);
        mensaje_->setText(error.value_or(QString()));
        mostrarValores();
    });

    capas->addStretch(1);
    mensaje_->setWordWrap(true);
    mensaje_->setTextInteractionFlags(Qt::TextSelectableByMouse);
    tema::ponerColorDeTexto(mensaje_, tema::naranja(mensaje_->palette()));
    capas->addWidget(mensaje_);
    auto* botones = new QHBoxLayout;
    botones->addStretch(1);
    auto* cerrar = new QPushButton(QStringLiteral("Cerrar"), this);
    connect(cerrar, &QPushButton::clicked, this, &QWidget::close);
    botones->addWidget(cerrar);
    capas->addLayout(botones);
    setTabOrder(atajo_, cambiar);
    setTabOrder(cambiar, microfono_);
    setTabOrder(microfono_, comandos_);
    setTabOrder(comandos_, sonidos_);
    setTabOrder(sonidos_, editar);
    setTabOrder(editar, inicio_);
    setTabOrder(inicio_, cerrar);
    resize(480, 600);
}

void VentanaPreferencias::mostrar() {
    mensaje_->clear();
    mostrarMicrofonos();
    mostrarValores();
    show();
    raise();
    activateWindow();
}

void VentanaPreferencias::mostrarValores() {
    const QSignalBlocker sinAvisos(comandos_);
    comandos_->setChecked(s_.preferencias.comandosHablados());
    const QSignalBlocker sinAvisosDeSonidos(sonidos_);
    sonidos_->setChecked(s_.preferencias.sonidos());
    atajo_->setCurrentIndex(s_.preferencias.atajoMantenido() ? 1 : 0);
    combinacion_->setText(s_.atajo().texto() + QLatin1Char(':'));
    inicio_->setChecked(s_.iniciaConSesion());
    const qsizetype terminos = s_.preferencias.vocabulario().size();
    const qsizetype reemplazos = text::parseReplacements(s_.preferencias.reemplazos()).size();
    resumen_->setText(terminos == 0 && reemplazos == 0
                          ? QStringLiteral("Nombres y términos que dictas, y cómo se escriben.")
                          : cuenta(terminos, "término", "términos") + QStringLiteral(", ") +
                                cuenta(reemplazos, "reemplazo", "reemplazos") +
                                QStringLiteral("."));
}

void VentanaPreferencias::cambiarAtajo() {
    auto* dialogo = new DialogoAtajo(s_.atajo(), s_.usarAtajo, this);
    dialogo->setAttribute(Qt::WA_DeleteOnClose);
    connect(dialogo, &QDialog::accepted, this, &VentanaPreferencias::mostrarValores);
    dialogo->open();
}

// Asked anew at each showing, since headsets come and go. A chosen microphone that is not
// there now stays listed and chosen, so that looking does not change the choice.
void VentanaPreferencias::mostrarMicrofonos() {
    const QString elegido = s_.preferencias.microfono();
    microfono_->clear();
    microfono_->addItem(QStringLiteral("El predeterminado del escritorio"), QString());
    bool presente = elegido.isEmpty();
    for (const AudioSource& fuente : s_.microfonos()) {
        microfono_->addItem(fuente.description, fuente.name);
        presente = presente || fuente.name == elegido;
    }
    if (!presente) {
        microfono_->addItem(elegido + QStringLiteral(" (no conectado)"), elegido);
    }
    microfono_->setCurrentIndex(microfono_->findData(elegido));
}

void VentanaPreferencias::editarPalabras() {
    auto* dialogo = new DialogoPalabras(s_.preferencias, this);
    dialogo->setAttribute(Qt::WA_DeleteOnClose);
    connect(dialogo, &QDialog::accepted, this, [this] {
        s_.sincronizarPreferencias();
        mostrarValores();
    });
    dialogo->open();
}

}  // namespace sonarel
