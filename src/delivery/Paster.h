#pragma once

#include "platform/Clock.h"
#include "platform/Desktop.h"

#include <QObject>
#include <QString>

#include <memory>
#include <vector>

namespace sonarel {

// Delivers text to other applications through the clipboard and a synthesised paste, optionally
// followed by Return; tracks the previously active application and the last terminal.
// Every paste first puts the text on the clipboard, so it is there even when no keystroke goes.
// Main thread only.
class Paster : public QObject {
    Q_OBJECT

public:
    static constexpr double kPasteDelayAfterActivation = 0.28;
    static constexpr double kTerminalPasteDelay = 0.35;
    static constexpr double kReturnDelay = 0.15;

    Paster(Desktop& desktop, Clock& clock, QObject* parent = nullptr);

    // The most recently activated application other than this one, and the most recently
    // activated terminal; never cleared.
    const Application& appAnterior() const { return appAnterior_; }
    const Application& ultimaTerminal() const { return ultimaTerminal_; }
    // "la app anterior" when there is none or it has no name.
    QString nombreAppAnterior() const;

    // Whether synthesised keystrokes will be accepted, asked afresh each time.
    bool puedePegar() const;
    void pedirPermisoAccesibilidad();

    void copiar(const QString& texto);

    // Whether `appAnterior` is there and still running.
    bool hayAppAnterior() const;

    // Each answers false when the keystrokes cannot be sent (no target, no permission, or the
    // paste keystroke cannot be posted); the text is on the clipboard either way. Empty text:
    // true, nothing done. Nothing is ever typed into a terminal for a text that is blank once
    // made one line, and Return never goes without the paste before it.
    // Activates `appAnterior` and pastes 0.28 s later, unless it has quit by then. False, and
    // nothing sent, when there is no previous application or it has quit.
    bool pegarEnAppAnterior(const QString& texto);
    // Pastes into whatever has the focus now; into a terminal, as one line, with Return 0.15 s
    // later when `conRetorno`.
    bool pegarEnFoco(const QString& texto, bool conRetorno = false);

    // The terminal a send would target: the last terminal while it runs, else `appAnterior` when
    // it is a running terminal, else the first ordinary running terminal; none otherwise.
    Application terminalDestino() const;
    // "la terminal" when there is none or it has no name.
    QString nombreTerminal() const;
    // Flattens the text to one line, puts it on the clipboard, activates the target terminal and
    // pastes 0.35 s later, with Return 0.15 s after that when `conRetorno`; nothing is sent if
    // the terminal quits meanwhile. False when there is no terminal or no permission.
    bool enviarATerminal(const QString& texto, bool conRetorno = false);

private:
    void onActivated(const Application& application);
    void after(double seconds, std::function<void()> job);

    Desktop& desktop_;
    Clock& clock_;
    Application appAnterior_;
    Application ultimaTerminal_;
    struct Pending {
        std::shared_ptr<bool> fired;
        std::unique_ptr<Timer> timer;
    };
    std::vector<Pending> pending_;
};

}  // namespace sonarel
