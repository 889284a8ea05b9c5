#include "hud/HUD.h"

#include <QCursor>
#include <QGuiApplication>
#include <QScreen>

#include <cmath>

namespace sonarel {

HUD::HUD(SpeechEngine& motor, HUDEstado& estado, Clock& clock, PanelWindowing& ventanas,
         QObject* parent)
    : QObject(parent), motor_(motor), estado_(estado), clock_(clock), ventanas_(ventanas) {}

HUD::~HUD() = default;

// The panel bypasses the window manager: a managed window gets a frame that would take the
// clicks meant for the window below, and could be focused, listed or left on one workspace.
// Where a compositor runs, the panel is a translucent capsule that fades; without one, a
// translucent window would show black corners, so the panel is an opaque capsule-shaped window.
void HUD::crearPanel(bool translucido) {
    fundido_.reset();
    panel_ = std::make_unique<HUDView>(motor_, estado_, translucido);
    HUDView& panel = *panel_;
    panel.setWindowFlags(Qt::Tool | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint |
                         Qt::WindowDoesNotAcceptFocus | Qt::WindowTransparentForInput |
                         Qt::NoDropShadowWindowHint | Qt::X11BypassWindowManagerHint);
    panel.setAttribute(Qt::WA_ShowWithoutActivating);
    panel.setFocusPolicy(Qt::NoFocus);
    if (translucido) {
        panel.setAttribute(Qt::WA_TranslucentBackground);
    }
    panel.setWindowTitle(QStringLiteral("Sonarel"));
    panel.setGeometry(0, 0, kAncho, kAlto);
    panel.winId();
    ventanas_.prepare(*panel.windowHandle());

    fundido_ = std::make_unique<QPropertyAnimation>(&panel, "windowOpacity");
    connect(fundido_.get(), &QPropertyAnimation::finished, this, [this] {
        if (saliendo_ && panel_) {
            saliendo_ = false;
            panel_->hide();
        }
    });
}

void HUD::mostrar() {
    const bool compositor = ventanas_.compositing();
    if (!panel_ || (panel_->testAttribute(Qt::WA_TranslucentBackground) != compositor &&
                    !panel_->isVisible())) {
        crearPanel(compositor);
    }
    QScreen* pantalla = QGuiApplication::screenAt(QCursor::pos());
    if (pantalla == nullptr) {
        pantalla = QGuiApplication::primaryScreen();
    }
    if (pantalla != nullptr) {
        const QRect util = pantalla->availableGeometry();
        const int x = static_cast<int>(std::lround(util.x() + (util.width() - kAncho) * 0.5));
        const int abajo = util.y() + util.height() - kSobreElBorde;
        panel_->setGeometry(x, abajo - kAlto, kAncho, kAlto);
    }
    fundido_->stop();
    saliendo_ = false;
    if (compositor) {
        panel_->setWindowOpacity(0);
    }
    panel_->show();
    panel_->raise();
    if (compositor) {
        fundido_->setDuration(kEntradaMs);
        fundido_->setStartValue(0.0);
        fundido_->setEndValue(1.0);
        fundido_->start();
    } else {
        panel_->setWindowOpacity(1);
    }
}

void HUD::ocultar() {
    if (estado_.mensaje().has_value() || !panel_ || !panel_->isVisible()) {
        return;
    }
    fundido_->stop();
    if (!ventanas_.compositing()) {
        panel_->hide();
        return;
    }
    saliendo_ = true;
    fundido_->setDuration(kSalidaMs);
    fundido_->setStartValue(panel_->windowOpacity());
    fundido_->setEndValue(0.0);
    fundido_->start();
}

void HUD::avisar(const QString& mensaje, double segundos) {
    estado_.setMensaje(mensaje);
    mostrar();
    tareaMensaje_.reset();
    const QPointer<HUD> self(this);
    tareaMensaje_ = clock_.once(segundos, [self] {
        if (self) {
            self->estado_.setMensaje(std::nullopt);
            self->ocultar();
        }
    });
}

void HUD::quitarAviso() {
    tareaMensaje_.reset();
    if (estado_.mensaje().has_value()) {
        estado_.setMensaje(std::nullopt);
    }
}

}  // namespace sonarel
