// The model manager's window: its texts, list, progress row and buttons.
#include "ui/GestorModelos.h"

#include <QCheckBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QTreeWidget>
#include <QVBoxLayout>

namespace sonarel {

void GestorModelos::construir() {
    setWindowTitle(QStringLiteral("Modelos de voz"));
    setObjectName(QStringLiteral("modelos"));
    auto* capas = new QVBoxLayout(this);
    capas->setContentsMargins(16, 14, 16, 14);
    capas->setSpacing(10);

    auto* intro = new QLabel(
        QStringLiteral("Sonarel reconoce la voz en este equipo, sin conexión, con un modelo de "
                       "whisper o con Parakeet. Los más grandes aciertan más, pero piden más "
                       "memoria y más cálculo; las formas cuantizadas (q5, q8) ocupan menos y "
                       "aciertan algo menos. ") +
            kSobreParakeet,
        this);
    intro->setWordWrap(true);
    capas->addWidget(intro);

    auto* filaMedicion = new QHBoxLayout;
    auto* textos = new QVBoxLayout;
    medicion_ = new QLabel(this);
    medicion_->setWordWrap(true);
    recomendacion_ = new QLabel(this);
    recomendacion_->setWordWrap(true);
    textos->addWidget(medicion_);
    textos->addWidget(recomendacion_);
    filaMedicion->addLayout(textos, 1);
    medir_ = new QPushButton(QStringLiteral("Medir de nuevo"), this);
    connect(medir_, &QPushButton::clicked, this, &GestorModelos::medir);
    filaMedicion->addWidget(medir_, 0, Qt::AlignTop);
    capas->addLayout(filaMedicion);

    lista_ = new QTreeWidget(this);
    lista_->setRootIsDecorated(false);
    lista_->setUniformRowHeights(true);
    lista_->setHeaderLabels({QStringLiteral("Modelo"), QStringLiteral("En disco"),
                             QStringLiteral("Memoria"), QStringLiteral("En este equipo"),
                             QStringLiteral("Estado")});
    lista_->header()->setStretchLastSection(true);
    lista_->setColumnWidth(kModelo, 210);
    lista_->setColumnWidth(kDisco, 80);
    lista_->setColumnWidth(kMemoria, 80);
    lista_->setColumnWidth(kVelocidad, 150);
    connect(lista_, &QTreeWidget::itemSelectionChanged, this, &GestorModelos::actualizarBotones);
    capas->addWidget(lista_, 1);

    filaProgreso_ = new QWidget(this);
    auto* progreso = new QHBoxLayout(filaProgreso_);
    progreso->setContentsMargins(0, 0, 0, 0);
    barra_ = new QProgressBar(filaProgreso_);
    barra_->setTextVisible(false);
    progreso->addWidget(barra_, 1);
    progreso_ = new QLabel(filaProgreso_);
    progreso->addWidget(progreso_);
    cancelar_ = new QPushButton(QStringLiteral("Cancelar"), filaProgreso_);
    connect(cancelar_, &QPushButton::clicked, this, [this] {
        const QString nombre = descarga_.modelo() ? descarga_.modelo()->nombre : QString();
        descarga_.cancelar();
        mensaje_->setText(QStringLiteral("Se canceló la descarga de %1.").arg(nombre));
        actualizar();
    });
    progreso->addWidget(cancelar_);
    capas->addWidget(filaProgreso_);

    mensaje_ = new QLabel(this);
    mensaje_->setWordWrap(true);
    mensaje_->setTextInteractionFlags(Qt::TextSelectableByMouse);
    capas->addWidget(mensaje_);

    conservarOriginal_ = new QCheckBox(
        QStringLiteral("Conservar también el archivo de 16 bits de Parakeet (1,3 GB más en el "
                       "disco; el dictado usa la forma de 4 bits que se hace tras la descarga)"),
        this);
    capas->addWidget(conservarOriginal_);

    auto* botones = new QHBoxLayout;
    descargar_ = new QPushButton(QStringLiteral("Descargar"), this);
    connect(descargar_, &QPushButton::clicked, this, &GestorModelos::descargarSeleccionado);
    usar_ = new QPushButton(QStringLiteral("Usar"), this);
    connect(usar_, &QPushButton::clicked, this, [this] {
        if (const std::optional<Modelo> modelo = seleccionado()) {
            usar(modelo->ruta);
        }
    });
    borrar_ = new QPushButton(QStringLiteral("Borrar"), this);
    connect(borrar_, &QPushButton::clicked, this, &GestorModelos::borrarSeleccionado);
    auto* cerrar = new QPushButton(QStringLiteral("Cerrar"), this);
    connect(cerrar, &QPushButton::clicked, this, &QWidget::close);
    botones->addWidget(descargar_);
    botones->addWidget(usar_);
    botones->addWidget(borrar_);
    botones->addStretch(1);
    botones->addWidget(cerrar);
    capas->addLayout(botones);
    resize(780, 560);
}

}  // namespace sonarel
