#include "ui/Pie.h"

#include "platform/Logging.h"
#include "ui/Medidor.h"
#include "ui/Simbolo.h"
#include "ui/Tema.h"
#include "ui/TextosVentana.h"

#include <QEvent>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QSaveFile>
#include <QShortcut>
#include <QToolButton>
#include <QVBoxLayout>

namespace sonarel {
namespace {

const QKeySequence kAtajoDictar(Qt::CTRL | Qt::Key_Return);
const QKeySequence kAtajoDictarTecladoNumerico(Qt::CTRL | Qt::Key_Enter);
const QKeySequence kAtajoTerminal(Qt::CTRL | Qt::Key_T);
const QKeySequence kAtajoBorrar(Qt::CTRL | Qt::Key_Backspace);

}  // namespace

Pie::Pie(SpeechEngine& motor, ServiciosVentana servicios, QWidget* parent)
    : QWidget(parent), motor_(motor), servicios_(std::move(servicios)) {
    auto* filas = new QVBoxLayout(this);
    filas->setContentsMargins(tema::kMargenLateral, 12, tema::kMargenLateral, 12);
    filas->setSpacing(10);
    filas->addWidget(crearLineaAviso());
    filas->addLayout(crearAcciones());
    crearAtajos();
    actualizarConsejos();

    connect(&motor_, &SpeechEngine::statusChanged, this, &Pie::mostrarEstado);
    connect(&motor_, &SpeechEngine::textChanged, this, &Pie::mostrarTexto);
    connect(&motor_, &SpeechEngine::noticeChanged, this, &Pie::mostrarAviso);
    connect(&motor_, &SpeechEngine::elapsedChanged, this, &Pie::mostrarContador);
    connect(&motor_, &SpeechEngine::levelChanged, this, &Pie::mostrarNivel);
    mostrarEstado();
    mostrarTexto();
}

QWidget* Pie::crearLineaAviso() {
    lineaAviso_ = new QWidget(this);
    auto* fila = new QHBoxLayout(lineaAviso_);
    fila->setContentsMargins(0, 0, 0, 0);
    fila->setSpacing(8);
    auto* icono = new QLabel(lineaAviso_);
    icono->setPixmap(
        simbolo(QStringLiteral("exclamationmark.triangle.fill"), tema::kNaranja).pixmap(14, 14));
    fila->addWidget(icono, 0, Qt::AlignVCenter);

    textoAviso_ = new QLabel(lineaAviso_);
    textoAviso_->setFont(tema::fuente(font(), tema::kPuntosPequenos));
    textoAviso_->setWordWrap(true);
    textoAviso_->setTextInteractionFlags(Qt::TextSelectableByMouse);
    tema::ponerColorDeTexto(textoAviso_, tema::secundario(palette()));
    fila->addWidget(textoAviso_, 1);

    enlaceAjustes_ = new QPushButton(QStringLiteral("Abrir Modelos de voz"), lineaAviso_);
    enlaceAjustes_->setFlat(true);
    enlaceAjustes_->setCursor(Qt::PointingHandCursor);
    enlaceAjustes_->setFont(tema::fuente(font(), tema::kPuntosPequenos));
    enlaceAjustes_->setStyleSheet(
        QStringLiteral("QPushButton { border: none; padding: 0; color: palette(link); }"));
    connect(enlaceAjustes_, &QPushButton::clicked, this,
            [this] { servicios_.abrirAjustes(PanelAjustes::Modelos); });
    fila->addWidget(enlaceAjustes_);
    return lineaAviso_;
}

QLayout* Pie::crearAcciones() {
    auto* fila = new QHBoxLayout;
    fila->setSpacing(14);
    crearDictado(*fila);
    fila->addStretch(1);
    crearEntregas(*fila);
    return fila;
}

// The Dictar button, the meter and the counter.
void Pie::crearDictado(QHBoxLayout& fila) {
    dictar_ = new QPushButton(this);
    dictar_->setFixedSize(104, 26);
    QFont medio = dictar_->font();
    medio.setWeight(QFont::Medium);
    dictar_->setFont(medio);
    connect(dictar_, &QPushButton::clicked, this, [this] { motor_.toggle(); });
    fila.addWidget(dictar_);

    medidor_ = new Medidor(this);
    medidor_->setFixedSize(90, 22);
    fila.addWidget(medidor_);

    contador_ = new QLabel(this);
    contador_->setFixedWidth(90);
    contador_->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    QFont mono = tema::fuente(font(), tema::kPuntosPequenos);
    mono.setStyleHint(QFont::Monospace);
    mono.setFamily(QStringLiteral("monospace"));
    contador_->setFont(mono);
    tema::ponerColorDeTexto(contador_, tema::secundario(palette()));
    fila.addWidget(contador_);
}

// The actions on the text: copy, to the terminal, paste, save, clear.
void Pie::crearEntregas(QHBoxLayout& fila) {
    const QColor tinta = tema::tinta(palette());
    copiar_ = new QPushButton(simbolo(QStringLiteral("doc.on.doc"), tinta),
                              QStringLiteral("Copiar"), this);
    connect(copiar_, &QPushButton::clicked, this,
            [this] { servicios_.paster.copiar(motor_.text()); });
    fila.addWidget(copiar_);

    terminal_ = new QPushButton(simbolo(QStringLiteral("terminal"), tinta),
                                QStringLiteral("A la Terminal"), this);
    terminal_->installEventFilter(this);
    connect(terminal_, &QPushButton::clicked, this, &Pie::enviarATerminal);
    fila.addWidget(terminal_);

    pegar_ = new QToolButton(this);
    pegar_->setIcon(simbolo(QStringLiteral("arrow.right.doc.on.clipboard"), tinta));
    pegar_->installEventFilter(this);
    connect(pegar_, &QToolButton::clicked, this, &Pie::pegarEnAppAnterior);
    fila.addWidget(pegar_);

    guardarArchivo_ = new QToolButton(this);
    guardarArchivo_->setIcon(simbolo(QStringLiteral("square.and.arrow.down"), tinta));
    guardarArchivo_->setToolTip(QStringLiteral("Guardar como archivo de texto"));
    connect(guardarArchivo_, &QToolButton::clicked, this, &Pie::guardar);
    fila.addWidget(guardarArchivo_);

    borrar_ = new QPushButton(simbolo(QStringLiteral("trash"), tema::kRojo),
                              QStringLiteral("Borrar"), this);
    tema::ponerColorDeTexto(borrar_, tema::kRojo);
    borrar_->setToolTip(QStringLiteral(
        "Borra el texto (Ctrl+Retroceso). Queda guardado en la carpeta de dictados."));
    connect(borrar_, &QPushButton::clicked, this, &Pie::borrar);
    fila.addWidget(borrar_);
}

// Each shortcut acts while the window is active and its button is enabled.
void Pie::crearAtajos() {
    const std::pair<QKeySequence, QAbstractButton*> atajos[] = {
        {kAtajoDictar, dictar_},
        {kAtajoDictarTecladoNumerico, dictar_},
        {kAtajoTerminal, terminal_},
        {kAtajoBorrar, borrar_},
    };
    for (const auto& [acorde, boton] : atajos) {
        auto* atajo = new QShortcut(acorde, this);
        connect(atajo, &QShortcut::activated, boton, [boton] {
            if (boton->isEnabled()) {
                boton->click();
            }
        });
    }
}

bool Pie::tomaAtajo(const QKeySequence& acorde) const {
    return (acorde == kAtajoBorrar && borrar_->isEnabled()) ||
           (acorde == kAtajoTerminal && terminal_->isEnabled());
}

bool Pie::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::ToolTip) {
        actualizarConsejos();
    }
    return QWidget::eventFilter(watched, event);
}

void Pie::guardar() {
    const QString ruta =
        servicios_.elegirArchivo(nombreArchivoPropuesto(servicios_.clock.currentDateTime()));
    if (ruta.isEmpty()) {
        return;
    }
    // Written beside the target and moved over it, so that a failed save leaves the old file.
    QSaveFile archivo(ruta);
    if (!archivo.open(QIODevice::WriteOnly)) {
        qCWarning(logHistory) << "cannot save to" << ruta << ":" << archivo.errorString();
        return;
    }
    // A short write (a full disk, a size limit) is a failure too: the old file then stays.
    const QByteArray contenido = motor_.text().toUtf8();
    if (archivo.write(contenido) != contenido.size()) {
        qCWarning(logHistory) << "cannot save to" << ruta << ":" << archivo.errorString();
        archivo.cancelWriting();
        return;
    }
    if (!archivo.commit()) {
        qCWarning(logHistory) << "cannot save to" << ruta << ":" << archivo.errorString();
    }
}

void Pie::mostrarEstado() {
    const bool escuchando = motor_.isListening();
    const QColor tinta = escuchando ? tema::kRojo : palette().color(QPalette::Highlight);
    dictar_->setIcon(
        simbolo(escuchando ? QStringLiteral("stop.fill") : QStringLiteral("mic.fill"), Qt::white));
    dictar_->setText(escuchando ? QStringLiteral("Detener") : QStringLiteral("Dictar"));
    dictar_->setStyleSheet(
        QStringLiteral("QPushButton { background: %1; color: white; border: none; border-radius: "
                       "6px; padding: 0 8px; } QPushButton:pressed { background: %2; }")
            .arg(tinta.name(), tinta.darker(120).name()));
    mostrarAviso();
    mostrarContador();
    mostrarNivel();
}

void Pie::mostrarTexto() {
    const bool hayTexto = !motor_.text().isEmpty();
    for (QWidget* accion : {static_cast<QWidget*>(copiar_), static_cast<QWidget*>(terminal_),
                            static_cast<QWidget*>(pegar_), static_cast<QWidget*>(guardarArchivo_),
                            static_cast<QWidget*>(borrar_)}) {
        accion->setEnabled(hayTexto);
    }
    mostrarContador();
}

void Pie::mostrarAviso() {
    const Aviso aviso = avisoDelPie(motor_.status(), propio_, motor_.notice(), atajo_);
    lineaAviso_->setVisible(!aviso.texto.isEmpty());
    textoAviso_->setText(aviso.texto);
    enlaceAjustes_->setVisible(aviso.enlace == Aviso::Enlace::ModelosDeVoz);
}

void Pie::mostrarContador() {
    contador_->setText(textoContador(motor_.isListening(), motor_.elapsed(), motor_.wordCount()));
}

void Pie::mostrarNivel() {
    medidor_->setActivo(motor_.isListening());
    medidor_->setNivel(motor_.level());
}

void Pie::actualizarConsejos() {
    terminal_->setToolTip(QStringLiteral("Escribe el texto en el prompt de ") +
                          servicios_.paster.nombreTerminal() +
                          QStringLiteral(", sin ejecutarlo (Ctrl+T)"));
    pegar_->setToolTip(QStringLiteral("Pega el texto en ") + servicios_.paster.nombreAppAnterior());
}

void Pie::enviarATerminal() {
    Paster& paster = servicios_.paster;
    if (paster.enviarATerminal(motor_.text(), servicios_.preferencias.enterEnTerminal())) {
        ponerAviso(std::nullopt);
    } else {
        ponerAviso(Aviso{paster.terminalDestino() ? kAvisoTerminalSinPermiso : kAvisoSinTerminal});
    }
}

void Pie::pegarEnAppAnterior() {
    if (servicios_.paster.pegarEnAppAnterior(motor_.text())) {
        ponerAviso(std::nullopt);
    } else {
        avisarPegadoFallido();
    }
}

void Pie::avisarPegadoFallido() {
    ponerAviso(
        Aviso{servicios_.paster.hayAppAnterior() ? kAvisoPegarSinPermiso : kAvisoSinAppAnterior});
}

void Pie::avisarRecuperado() {
    ponerAviso(Aviso{QStringLiteral(
        "Recuperé un dictado que quedó sin terminar: está aquí y en el historial.")});
}

void Pie::borrar() {
    servicios_.archivador.guardarYBorrar();
    ponerAviso(std::nullopt);
}

std::optional<QString> Pie::aviso() const {
    return propio_ ? std::optional<QString>(propio_->texto) : std::nullopt;
}

void Pie::setAvisoAtajo(std::optional<Aviso> aviso) {
    atajo_ = std::move(aviso);
    mostrarAviso();
}

void Pie::ponerAviso(std::optional<Aviso> aviso) {
    propio_ = std::move(aviso);
    mostrarAviso();
}

}  // namespace sonarel
