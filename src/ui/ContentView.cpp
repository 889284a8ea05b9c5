#include "ui/ContentView.h"

#include "ui/EstadoChip.h"
#include "ui/Idioma.h"
#include "ui/Medidor.h"
#include "ui/Simbolo.h"
#include "ui/TextosVentana.h"

#include <QActionGroup>
#include <QComboBox>
#include <QEvent>
#include <QFrame>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QMenu>
#include <QPushButton>
#include <QSaveFile>
#include <QShortcut>
#include <QTextCursor>
#include <QTextEdit>
#include <QTextFormat>
#include <QToolButton>
#include <QVBoxLayout>

namespace sonarel {
namespace {

const QString kIdioma = QString::fromLatin1(Preferences::kIdioma);
const QString kSinConexion = QString::fromLatin1(Preferences::kSinConexion);
const QString kPuntuacion = QString::fromLatin1(Preferences::kPuntuacion);
const QString kCopiarAlParar = QString::fromLatin1(Preferences::kCopiarAlParar);
const QString kPegarAlParar = QString::fromLatin1(Preferences::kPegarAlParar);
const QString kEnterEnTerminal = QString::fromLatin1(Preferences::kEnterEnTerminal);
const QString kAutoStop = QString::fromLatin1(Preferences::kAutoStop);

constexpr double kOpcionesSilencio[] = {0, 2, 4, 8};

QColor secundario(const QPalette& palette) {
    QColor color = palette.color(QPalette::WindowText);
    color.setAlphaF(0.55f);
    return color;
}

QColor terciario(const QPalette& palette) {
    QColor color = palette.color(QPalette::WindowText);
    color.setAlphaF(0.3f);
    return color;
}

QFont fuente(const QFont& base, double puntos) {
    QFont font(base);
    font.setPointSizeF(puntos);
    return font;
}

QFrame* divisor(QWidget* parent) {
    auto* linea = new QFrame(parent);
    linea->setFrameShape(QFrame::HLine);
    linea->setFrameShadow(QFrame::Plain);
    linea->setFixedHeight(1);
    QPalette palette = linea->palette();
    QColor color = palette.color(QPalette::WindowText);
    color.setAlphaF(0.15f);
    palette.setColor(QPalette::WindowText, color);
    linea->setPalette(palette);
    return linea;
}

void ponerColorDeTexto(QWidget* widget, const QColor& color) {
    QPalette palette = widget->palette();
    palette.setColor(QPalette::WindowText, color);
    palette.setColor(QPalette::ButtonText, color);
    // Over the editor's Base background a label draws with Text, not WindowText.
    palette.setColor(QPalette::Text, color);
    widget->setPalette(palette);
}

const QKeySequence kAtajoDictar(Qt::CTRL | Qt::Key_Return);
const QKeySequence kAtajoDictarTecladoNumerico(Qt::CTRL | Qt::Key_Enter);
const QKeySequence kAtajoTerminal(Qt::CTRL | Qt::Key_T);
const QKeySequence kAtajoBorrar(Qt::CTRL | Qt::Key_Backspace);

}  // namespace

ContentView::ContentView(SpeechEngine& motor, Servicios servicios, QWidget* parent)
    : QWidget(parent), motor_(motor), servicios_(std::move(servicios)) {
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addWidget(crearCabecera());
    layout->addWidget(divisor(this));
    layout->addWidget(crearEditor(), 1);
    layout->addWidget(divisor(this));
    layout->addWidget(crearPie());
    setMinimumSize(700, 460);

    connect(&motor_, &SpeechEngine::statusChanged, this, &ContentView::alCambiarEstado);
    connect(&motor_, &SpeechEngine::onDeviceChanged, this, &ContentView::alCambiarEstado);
    connect(&motor_, &SpeechEngine::textChanged, this, &ContentView::alCambiarTexto);
    connect(&motor_, &SpeechEngine::noticeChanged, this, &ContentView::mostrarAviso);
    connect(&motor_, &SpeechEngine::elapsedChanged, this, &ContentView::mostrarContador);
    connect(&motor_, &SpeechEngine::levelChanged, this, &ContentView::mostrarNivel);

    mostrarPreferencias();
    alCambiarEstado();
    alCambiarTexto();
}

QWidget* ContentView::crearCabecera() {
    auto* cabecera = new QWidget(this);
    auto* fila = new QHBoxLayout(cabecera);
    fila->setContentsMargins(16, 10, 16, 10);
    fila->setSpacing(12);

    idioma_ = new QComboBox(cabecera);
    idioma_->setFixedWidth(210);
    for (const Idioma& idioma : Idioma::todos()) {
        idioma_->addItem(idioma.nombre, idioma.id);
    }
    connect(idioma_, &QComboBox::activated, this, [this](int indice) {
        escribirPreferencia(kIdioma, idioma_->itemData(indice).toString());
        sincronizar();
    });
    fila->addWidget(idioma_);

    chip_ = new EstadoChip(cabecera);
    fila->addWidget(chip_);
    fila->addStretch(1);

    opciones_ = new QToolButton(cabecera);
    opciones_->setIcon(
        simbolo(QStringLiteral("slider.horizontal.3"), palette().color(QPalette::WindowText)));
    opciones_->setAutoRaise(true);
    opciones_->setFixedWidth(40);
    opciones_->setPopupMode(QToolButton::InstantPopup);
    opciones_->setStyleSheet(QStringLiteral("QToolButton::menu-indicator { image: none; }"));
    menuOpciones_ = crearMenuOpciones();
    opciones_->setMenu(menuOpciones_);
    fila->addWidget(opciones_);
    return cabecera;
}

QMenu* ContentView::crearMenuOpciones() {
    auto* menu = new QMenu(this);
    auto interruptor = [this, menu](const QString& texto, const QString& clave, bool sincroniza) {
        QAction* accion = menu->addAction(texto);
        accion->setCheckable(true);
        accion->setData(clave);
        connect(accion, &QAction::triggered, this, [this, clave, sincroniza](bool activo) {
            escribirPreferencia(clave, activo);
            if (sincroniza) {
                sincronizar();
            }
        });
    };
    interruptor(QStringLiteral("Puntuación automática"), kPuntuacion, true);
    interruptor(QStringLiteral("Preferir dictado sin conexión"), kSinConexion, true);
    menu->addSeparator();
    interruptor(QStringLiteral("Copiar al detener"), kCopiarAlParar, false);
    interruptor(QStringLiteral("Pegar en la app anterior al detener"), kPegarAlParar, false);
    interruptor(QStringLiteral("Ejecutar al enviar a la Terminal (pulsa Enter)"), kEnterEnTerminal,
                false);
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
        connect(accion, &QAction::triggered, this, [this, segundos] {
            escribirPreferencia(kAutoStop, segundos);
            sincronizar();
        });
    }
    menu->addSeparator();

    QAction* teclado = menu->addAction(QStringLiteral("Activar dictado sin conexión…"));
    connect(teclado, &QAction::triggered, this,
            [this] { servicios_.abrirAjustes(PanelAjustes::Modelos); });
    QAction* microfono = menu->addAction(QStringLiteral("Permisos de micrófono…"));
    connect(microfono, &QAction::triggered, this,
            [this] { servicios_.abrirAjustes(PanelAjustes::Microfono); });

    connect(menu, &QMenu::aboutToShow, this, &ContentView::mostrarPreferencias);
    connect(silencio, &QMenu::aboutToShow, this, &ContentView::mostrarPreferencias);
    return menu;
}

QWidget* ContentView::crearEditor() {
    auto* area = new QWidget(this);
    area->setAutoFillBackground(true);
    area->setBackgroundRole(QPalette::Base);
    auto* capas = new QGridLayout(area);
    capas->setContentsMargins(12, 12, 12, 12);

    editor_ = new QTextEdit(area);
    editor_->setAcceptRichText(false);
    editor_->setFrameShape(QFrame::NoFrame);
    editor_->setFont(fuente(font(), 16));
    editor_->viewport()->setAutoFillBackground(false);
    editor_->setStyleSheet(QStringLiteral("QTextEdit { background: transparent; }"));
    editor_->document()->setDocumentMargin(0);
    editor_->installEventFilter(this);
    connect(editor_, &QTextEdit::textChanged, this, [this] {
        if (!mostrandoTextoDelMotor_) {
            motor_.textBinding().set(editor_->toPlainText());
        }
    });
    capas->addWidget(editor_, 0, 0);

    marcador_ = new QLabel(area);
    marcador_->setFont(fuente(font(), 16));
    marcador_->setWordWrap(true);
    marcador_->setContentsMargins(5, 8, 5, 8);
    marcador_->setAttribute(Qt::WA_TransparentForMouseEvents);
    ponerColorDeTexto(marcador_, terciario(palette()));
    capas->addWidget(marcador_, 0, 0, Qt::AlignTop);
    marcador_->raise();
    return area;
}

QWidget* ContentView::crearPie() {
    auto* pie = new QWidget(this);
    auto* filas = new QVBoxLayout(pie);
    filas->setContentsMargins(16, 12, 16, 12);
    filas->setSpacing(10);

    lineaAviso_ = new QWidget(pie);
    auto* aviso = new QHBoxLayout(lineaAviso_);
    aviso->setContentsMargins(0, 0, 0, 0);
    aviso->setSpacing(8);
    auto* icono = new QLabel(lineaAviso_);
    icono->setPixmap(simbolo(QStringLiteral("exclamationmark.triangle.fill"), QColor(0xff, 0x95, 0))
                         .pixmap(14, 14));
    aviso->addWidget(icono, 0, Qt::AlignVCenter);
    textoAviso_ = new QLabel(lineaAviso_);
    textoAviso_->setFont(fuente(font(), 11));
    textoAviso_->setWordWrap(true);
    textoAviso_->setTextInteractionFlags(Qt::TextSelectableByMouse);
    ponerColorDeTexto(textoAviso_, secundario(palette()));
    aviso->addWidget(textoAviso_, 1);
    enlaceAjustes_ = new QPushButton(QStringLiteral("Abrir Modelos de voz"), lineaAviso_);
    enlaceAjustes_->setFlat(true);
    enlaceAjustes_->setCursor(Qt::PointingHandCursor);
    enlaceAjustes_->setFont(fuente(font(), 11));
    enlaceAjustes_->setStyleSheet(
        QStringLiteral("QPushButton { border: none; padding: 0; color: palette(link); }"));
    connect(enlaceAjustes_, &QPushButton::clicked, this,
            [this] { servicios_.abrirAjustes(PanelAjustes::Modelos); });
    aviso->addWidget(enlaceAjustes_);
    filas->addWidget(lineaAviso_);

    auto* acciones = new QHBoxLayout;
    acciones->setSpacing(14);

    dictar_ = new QPushButton(pie);
    dictar_->setFixedSize(104, 26);
    QFont medio = dictar_->font();
    medio.setWeight(QFont::Medium);
    dictar_->setFont(medio);
    connect(dictar_, &QPushButton::clicked, this, [this] { motor_.toggle(); });
    acciones->addWidget(dictar_);

    medidor_ = new Medidor(pie);
    medidor_->setFixedSize(90, 22);
    acciones->addWidget(medidor_);

    contador_ = new QLabel(pie);
    contador_->setFixedWidth(90);
    contador_->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    QFont mono = fuente(font(), 11);
    mono.setStyleHint(QFont::Monospace);
    mono.setFamily(QStringLiteral("monospace"));
    contador_->setFont(mono);
    ponerColorDeTexto(contador_, secundario(palette()));
    acciones->addWidget(contador_);
    acciones->addStretch(1);

    const QColor tinta = palette().color(QPalette::WindowText);
    copiar_ = new QPushButton(simbolo(QStringLiteral("doc.on.doc"), tinta),
                              QStringLiteral("Copiar"), pie);
    connect(copiar_, &QPushButton::clicked, this,
            [this] { servicios_.paster.copiar(motor_.text()); });
    acciones->addWidget(copiar_);

    terminal_ = new QPushButton(simbolo(QStringLiteral("terminal"), tinta),
                                QStringLiteral("A la Terminal"), pie);
    terminal_->installEventFilter(this);
    connect(terminal_, &QPushButton::clicked, this, &ContentView::enviarATerminal);
    acciones->addWidget(terminal_);

    pegar_ = new QToolButton(pie);
    pegar_->setIcon(simbolo(QStringLiteral("arrow.right.doc.on.clipboard"), tinta));
    pegar_->installEventFilter(this);
    connect(pegar_, &QToolButton::clicked, this, &ContentView::pegarEnAppAnterior);
    acciones->addWidget(pegar_);

    guardarArchivo_ = new QToolButton(pie);
    guardarArchivo_->setIcon(simbolo(QStringLiteral("square.and.arrow.down"), tinta));
    guardarArchivo_->setToolTip(QStringLiteral("Guardar como archivo de texto"));
    connect(guardarArchivo_, &QToolButton::clicked, this, &ContentView::guardar);
    acciones->addWidget(guardarArchivo_);

    const QColor rojo(0xff, 0x3b, 0x30);
    borrar_ =
        new QPushButton(simbolo(QStringLiteral("trash"), rojo), QStringLiteral("Borrar"), pie);
    ponerColorDeTexto(borrar_, rojo);
    borrar_->setToolTip(QStringLiteral(
        "Borra el texto (Ctrl+Retroceso). Queda guardado en la carpeta de dictados."));
    connect(borrar_, &QPushButton::clicked, this, &ContentView::borrar);
    acciones->addWidget(borrar_);

    filas->addLayout(acciones);
    actualizarConsejos();

    // Each shortcut acts while the window is active and its button is enabled.
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
    return pie;
}

void ContentView::sincronizar() {
    const Preferences& preferencias = servicios_.preferencias;
    motor_.localeID = preferencias.idioma();
    motor_.preferOnDevice = preferencias.sinConexion();
    motor_.addsPunctuation = preferencias.puntuacion();
    motor_.autoStopSilence = preferencias.autoStop();
}

void ContentView::guardar() {
    const QString ruta =
        servicios_.elegirArchivo(nombreArchivoPropuesto(servicios_.clock.currentDateTime()));
    if (ruta.isEmpty()) {
        return;
    }
    // Written beside the target and moved over it, so that a failed save leaves the old file.
    QSaveFile archivo(ruta);
    if (!archivo.open(QIODevice::WriteOnly)) {
        return;
    }
    // A short write (a full disk, a size limit) is a failure too: the old file then stays.
    const QByteArray contenido = motor_.text().toUtf8();
    if (archivo.write(contenido) != contenido.size()) {
        archivo.cancelWriting();
        return;
    }
    archivo.commit();
}

void ContentView::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    if (!sincronizado_) {
        sincronizado_ = true;
        sincronizar();
    }
}

void ContentView::changeEvent(QEvent* event) {
    QWidget::changeEvent(event);
    // The preferences may have been edited elsewhere since the window was last in front: show
    // what the store holds now, and hand it to the engine.
    if (event->type() == QEvent::ActivationChange && isActiveWindow()) {
        servicios_.preferencias.sync();
        mostrarPreferencias();
        sincronizar();
    }
}

bool ContentView::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::ToolTip) {
        actualizarConsejos();
    } else if (watched == editor_ && event->type() == QEvent::ShortcutOverride) {
        // The editor would take these chords for its own editing; the window's shortcuts win
        // while their actions are enabled.
        auto* tecla = static_cast<QKeyEvent*>(event);
        const QKeySequence acorde(tecla->keyCombination());
        if ((acorde == kAtajoBorrar && borrar_->isEnabled()) ||
            (acorde == kAtajoTerminal && terminal_->isEnabled())) {
            event->ignore();
            return true;
        }
    }
    return QWidget::eventFilter(watched, event);
}

void ContentView::alCambiarEstado() {
    const bool escuchando = motor_.isListening();
    chip_->mostrar(motor_.status(), motor_.onDevice());
    idioma_->setEnabled(!escuchando);

    const QColor tinta =
        escuchando ? QColor(0xff, 0x3b, 0x30) : palette().color(QPalette::Highlight);
    dictar_->setIcon(
        simbolo(escuchando ? QStringLiteral("stop.fill") : QStringLiteral("mic.fill"), Qt::white));
    dictar_->setText(escuchando ? QStringLiteral("Detener") : QStringLiteral("Dictar"));
    dictar_->setStyleSheet(
        QStringLiteral("QPushButton { background: %1; color: white; border: none; border-radius: "
                       "6px; padding: 0 8px; } QPushButton:pressed { background: %2; }")
            .arg(tinta.name(), tinta.darker(120).name()));

    marcador_->setText(escuchando ? QStringLiteral("Habla…")
                                  : QStringLiteral("Pulsa Dictar (⌥⌘D) y habla. El texto aparece "
                                                   "aquí."));
    mostrarAviso();
    mostrarContador();
    mostrarNivel();
}

void ContentView::alCambiarTexto() {
    const QString& texto = motor_.text();
    if (editor_->toPlainText() != texto) {
        mostrandoTextoDelMotor_ = true;
        editor_->setPlainText(texto);
        QTextCursor cursor(editor_->document());
        cursor.select(QTextCursor::Document);
        QTextBlockFormat interlineado;
        interlineado.setLineHeight(3, QTextBlockFormat::LineDistanceHeight);
        cursor.mergeBlockFormat(interlineado);
        cursor.movePosition(QTextCursor::End);
        editor_->setTextCursor(cursor);
        mostrandoTextoDelMotor_ = false;
    }
    const bool hayTexto = !texto.isEmpty();
    marcador_->setVisible(!hayTexto);
    for (QWidget* accion : {static_cast<QWidget*>(copiar_), static_cast<QWidget*>(terminal_),
                            static_cast<QWidget*>(pegar_), static_cast<QWidget*>(guardarArchivo_),
                            static_cast<QWidget*>(borrar_)}) {
        accion->setEnabled(hayTexto);
    }
    mostrarContador();
}

void ContentView::mostrarAviso() {
    // The shortcut's lasting notice gives way to the engine's remarks on the dictation.
    const QString mensaje = mensajeDelPie(
        motor_.status(), aviso_,
        motor_.notice().isEmpty() ? avisoAtajo_.value_or(QString()) : motor_.notice());
    lineaAviso_->setVisible(!mensaje.isEmpty());
    textoAviso_->setText(mensaje);
    enlaceAjustes_->setVisible(llevaEnlaceAjustes(mensaje));
}

void ContentView::mostrarContador() {
    contador_->setText(textoContador(motor_.isListening(), motor_.elapsed(), motor_.wordCount()));
}

void ContentView::mostrarNivel() {
    medidor_->setActivo(motor_.isListening());
    medidor_->setNivel(motor_.level());
}

void ContentView::mostrarPreferencias() {
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

void ContentView::actualizarConsejos() {
    terminal_->setToolTip(QStringLiteral("Escribe el texto en el prompt de ") +
                          servicios_.paster.nombreTerminal() +
                          QStringLiteral(", sin ejecutarlo (Ctrl+T)"));
    pegar_->setToolTip(QStringLiteral("Pega el texto en ") + servicios_.paster.nombreAppAnterior());
}

void ContentView::escribirPreferencia(const QString& clave, const QVariant& valor) {
    servicios_.preferencias.set(clave, valor);
    servicios_.preferencias.sync();
}

void ContentView::enviarATerminal() {
    Paster& paster = servicios_.paster;
    if (paster.enviarATerminal(motor_.text(), servicios_.preferencias.enterEnTerminal())) {
        ponerAviso(std::nullopt);
    } else {
        ponerAviso(paster.terminalDestino() ? kAvisoTerminalSinPermiso : kAvisoSinTerminal);
    }
}

void ContentView::pegarEnAppAnterior() {
    if (servicios_.paster.pegarEnAppAnterior(motor_.text())) {
        ponerAviso(std::nullopt);
    } else {
        avisarPegadoFallido();
    }
}

void ContentView::avisarPegadoFallido() {
    ponerAviso(servicios_.paster.hayAppAnterior() ? kAvisoPegarSinPermiso : kAvisoSinAppAnterior);
}

void ContentView::borrar() {
    servicios_.archivador.guardarYBorrar();
    ponerAviso(std::nullopt);
}

void ContentView::setAvisoAtajo(std::optional<QString> aviso) {
    avisoAtajo_ = std::move(aviso);
    mostrarAviso();
}

void ContentView::ponerAviso(std::optional<QString> aviso) {
    aviso_ = std::move(aviso);
    mostrarAviso();
}

}  // namespace sonarel
