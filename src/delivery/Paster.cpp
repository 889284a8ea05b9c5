#include "delivery/Paster.h"

#include "delivery/Terminales.h"

namespace sonarel {
namespace {

bool esTerminal(const Application& app) {
    if (!app) {
        return false;
    }
    const std::optional<QString> id = app->bundleIdentifier();
    return id && terminales().contains(*id);
}

// A terminal given a blank line, and then Return, would run whatever its prompt already held.
bool nadaQueEscribir(const QString& texto) {
    return lineaDeTerminal(texto).trimmed().isEmpty();
}

}  // namespace

Paster::Paster(Desktop& desktop, Clock& clock, QObject* parent)
    : QObject(parent), desktop_(desktop), clock_(clock) {
    connect(&desktop_, &Desktop::applicationActivated, this, &Paster::onActivated);
}

void Paster::onActivated(const Application& application) {
    if (!application || application->processIdentifier() == desktop_.processIdentifier()) {
        return;
    }
    appAnterior_ = application;
    if (esTerminal(application)) {
        ultimaTerminal_ = application;
    }
}

QString Paster::nombreAppAnterior() const {
    if (appAnterior_) {
        if (std::optional<QString> name = appAnterior_->localizedName()) {
            return *name;
        }
    }
    return QStringLiteral("la app anterior");
}

bool Paster::puedePegar() const {
    return desktop_.isProcessTrusted();
}

void Paster::pedirPermisoAccesibilidad() {
    if (!desktop_.isProcessTrusted()) {
        desktop_.promptForTrust();
    }
}

void Paster::copiar(const QString& texto) {
    desktop_.setClipboardText(texto);
}

void Paster::after(double seconds, std::function<void()> job) {
    std::erase_if(pending_, [](const Pending& p) { return *p.fired; });
    auto fired = std::make_shared<bool>(false);
    // Marked only once the job is done, so that a job scheduling another never destroys its
    // own timer while it runs.
    auto timer = clock_.once(seconds, [fired, job = std::move(job)] {
        job();
        *fired = true;
    });
    pending_.push_back({std::move(fired), std::move(timer)});
}

bool Paster::hayAppAnterior() const {
    return appAnterior_ && !appAnterior_->isTerminated();
}

// A paste with no application to receive it would land in whatever has the focus, often this
// application's own editor: then, and when the target quits before the keystroke, none goes.
bool Paster::pegarEnAppAnterior(const QString& texto) {
    if (texto.isEmpty()) {
        return true;
    }
    copiar(texto);
    if (!hayAppAnterior()) {
        return false;
    }
    if (!desktop_.isProcessTrusted()) {
        pedirPermisoAccesibilidad();
        return false;
    }
    const Application target = appAnterior_;
    target->activate();
    Desktop* desktop = &desktop_;
    after(kPasteDelayAfterActivation, [desktop, target] {
        if (!target->isTerminated()) {
            desktop->postKeystroke(kPasteKeystroke);
        }
    });
    return true;
}

bool Paster::pegarEnFoco(const QString& texto, bool conRetorno) {
    if (texto.isEmpty()) {
        return true;
    }
    const bool terminal = esTerminal(desktop_.frontmostApplication());
    if (terminal && nadaQueEscribir(texto)) {
        return true;
    }
    copiar(terminal ? lineaDeTerminal(texto) : texto);
    if (!desktop_.isProcessTrusted()) {
        pedirPermisoAccesibilidad();
        return false;
    }
    if (!desktop_.postKeystroke(kPasteKeystroke)) {
        return false;
    }
    if (terminal && conRetorno) {
        Desktop* desktop = &desktop_;
        after(kReturnDelay, [desktop] { desktop->postKeystroke(kReturnKeystroke); });
    }
    return true;
}

Application Paster::terminalDestino() const {
    if (ultimaTerminal_ && !ultimaTerminal_->isTerminated()) {
        return ultimaTerminal_;
    }
    if (esTerminal(appAnterior_) && !appAnterior_->isTerminated()) {
        return appAnterior_;
    }
    for (const Application& app : desktop_.runningApplications()) {
        if (esTerminal(app) && app->activationPolicy() == kRegularActivationPolicy) {
            return app;
        }
    }
    return nullptr;
}

QString Paster::nombreTerminal() const {
    if (Application target = terminalDestino()) {
        if (std::optional<QString> name = target->localizedName()) {
            return *name;
        }
    }
    return QStringLiteral("la terminal");
}

bool Paster::enviarATerminal(const QString& texto, bool conRetorno) {
    if (nadaQueEscribir(texto)) {
        return true;
    }
    copiar(lineaDeTerminal(texto));
    const Application target = terminalDestino();
    if (!target) {
        return false;
    }
    if (!desktop_.isProcessTrusted()) {
        pedirPermisoAccesibilidad();
        return false;
    }
    target->activate();
    after(kTerminalPasteDelay, [this, target, conRetorno] {
        if (target->isTerminated()) {
            return;
        }
        if (desktop_.postKeystroke(kPasteKeystroke) && conRetorno) {
            Desktop* desktop = &desktop_;
            after(kReturnDelay, [desktop] { desktop->postKeystroke(kReturnKeystroke); });
        }
    });
    return true;
}

}  // namespace sonarel
