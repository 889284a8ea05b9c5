#include "ui/Cabecera.h"

#include "ui/EstadoChip.h"
#include "ui/Idioma.h"
#include "ui/Simbolo.h"
#include "ui/Tema.h"

#include <QActionGroup>
#include <QComboBox>
#include <QHBoxLayout>
#include <QMenu>
#include <QToolButton>

namespace sonarel {
namespace {

constexpr double kOpcionesSilencio[] = {0, 2, 4, 8};

}  // namespace

Cabecera::Cabecera(SpeechEngine& motor, ServiciosVentana servicios, QWidget* parent)
    : QWidget(parent),
      motor_(motor),
      servicios_(std::move(servicios)),
      idioma_(new QComboBox(this)),
      chip_(new EstadoChip(this)),
      opciones_(new QToolButton(this)),
      menuOpciones_(crearMenuOpciones()) {
    auto* fila = new QHBoxLayout(this);
    fila->setContentsMargins(tema::kMargenLateral, 10, tema::kMargenLateral, 10);
    fila->setSpacing(12);

    idioma_->setFixedWidth(210);
    for (const Idioma& idioma : Idioma::todos()) {
        idioma_->addItem(idioma.nombre, idioma.id);
    }
    connect(idioma_, &QComboBox::activated, this, [this](int indice) {
        escribirPreferencia(Preferences::kIdioma, idioma_->itemData(indice).toString(), true);
    });
    fila->addWidget(idioma_);
    fila->addWidget(chip_);
    fila->addStretch(1);

    opciones_->setIcon(simbolo(QStringLiteral("slider.horizontal.3"), tema::tinta(palette())));
    opciones_->setAutoRaise(true);
    opciones_->setFixedWidth(40);
    opciones_->setPopupMode(QToolButton::InstantPopup);
    opciones_->setStyleSheet(QStringLiteral("QToolButton::menu-indicator { image: none; }"));
    opciones_->setMenu(menuOpciones_);
    fila->addWidget(opciones_);

    connect(&motor_, &SpeechEngine::statusChanged, this, &Cabecera::mostrarEstado);
    connect(&motor_, &SpeechEngine::onDeviceChanged, this, &Cabecera::mostrarEstado);
    mostrarPreferencias();
    mostrarEstado();
}

QMenu* Cabecera::crearMenuOpciones() {
    auto* menu = new QMenu(this);
    auto interruptor = [this, menu](const QString& texto, const char* clave, bool deMotor) {
        QAction* accion = menu->addAction(texto);
        accion->setCheckable(true);
        accion->setData(QString::fromLatin1(clave));
        connect(accion, &QAction::triggered, this, [this, clave, deMotor](bool activo) {
            escribirPreferencia(clave, activo, deMotor);
        });
    };
    interruptor(QStringLiteral("Puntuación automática"), Preferences::kPuntuacion, true);
    interruptor(QStringLiteral("Preferir dictado sin conexión"), Preferences::kSinConexion, true);
    menu->addSeparator();
    interruptor(QStringLiteral("Copiar al detener"), Preferences::kCopiarAlParar, false);
    interruptor(QStringLiteral("Pegar en la app anterior al detener"), Preferences::kPegarAlParar,
                false);
    interruptor(QStringLiteral("Ejecutar al enviar a la Terminal (pulsa Enter)"),
                Preferences::kEnterEnTerminal, false);
    menu->addSeparator();

    QMenu* silencio = menu->addMenu(QStringLiteral("Detener tras silencio"));
    auto* grupo = new QActionGroup(silencio);
    // A value stored from elsewhere may match no choice, so none need be selected.
    grupo->setExclusionPolicy(QActionGroup::ExclusionPolicy::ExclusiveOptional);
    for (double segundos : kOpcionesSilencio) {
        const QString texto =
            segundos == 0 ? QStringLiteral("Nunca") : QStringLiteral("%1 segundos").arg(segundos);
        QAction* accion = silencio->addAction(texto);
        accion->setCheckable(true);
        accion->setData(segundos);
        grupo->addAction(accion);
        connect(accion, &QAction::triggered, this,
                [this, segundos] { escribirPreferencia(Preferences::kAutoStop, segundos, true); });
    }
    menu->addSeparator();

    QAction* teclado = menu->addAction(QStringLiteral("Activar dictado sin conexión…"));
    connect(teclado, &QAction::triggered, this,
            [this] { servicios_.abrirAjustes(PanelAjustes::Modelos); });
    QAction* microfono = menu->addAction(QStringLiteral("Permisos de micrófono…"));
    connect(microfono, &QAction::triggered, this,
            [this] { servicios_.abrirAjustes(PanelAjustes::Microfono); });

    connect(menu, &QMenu::aboutToShow, this, &Cabecera::mostrarPreferencias);
    connect(silencio, &QMenu::aboutToShow, this, &Cabecera::mostrarPreferencias);
    return menu;
}

void Cabecera::mostrarEstado() {
    chip_->mostrar(motor_.status(), motor_.onDevice());
    idioma_->setEnabled(!motor_.isListening());
}

void Cabecera::mostrarPreferencias() {
    const Preferences& preferencias = servicios_.preferencias;
    idioma_->setCurrentIndex(idioma_->findData(preferencias.idioma()));
    for (QAction* accion : menuOpciones_->actions()) {
        if (accion->isCheckable()) {
            accion->setChecked(preferencias.boolean(accion->data().toString()));
        } else if (QMenu* submenu = accion->menu()) {
            for (QAction* opcion : submenu->actions()) {
                opcion->setChecked(opcion->data().toDouble() == preferencias.autoStop());
            }
        }
    }
}

// `deMotor`: the key is one of the engine's settings, which then reach the engine at once.
void Cabecera::escribirPreferencia(const char* clave, const QVariant& valor, bool deMotor) {
    servicios_.preferencias.set(QString::fromLatin1(clave), valor);
    servicios_.preferencias.sync();
    if (deMotor) {
        servicios_.sincronizarPreferencias();
    }
}

}  // namespace sonarel
