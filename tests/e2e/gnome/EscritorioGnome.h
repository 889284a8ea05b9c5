#pragma once

#include "gnome/EntradaMutter.h"

#include <gtest/gtest.h>

#include <QProcess>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>

namespace sonarel::testing {

struct Ventanas {
    int abiertas = 0;
    int activas = 0;  // the window the desktop gave the keyboard focus to
};

// The windows of the application that calls itself `nombre` on the accessibility bus.
Ventanas ventanasDe(const QString& nombre);

QString portapapeles();

// The shortcut workflow with the real binary on GNOME 43 (scripts/test-gnome-desktop): Alt+Super+D
// bound as a custom shortcut of gsd-media-keys to `sonarel --alternar`, "Enter" on for terminals.
class DictadoEnGnome : public ::testing::Test {
protected:
    DictadoEnGnome();
    ~DictadoEnGnome() override;

    bool teclas(const QStringList& acciones) { return entrada.teclas(acciones); }
    // Started as a user starts it, and allowed to type in the desktop's dialog.
    bool arrancarYPermitir();
    // One dictation by the shortcut; the text the history got for it.
    QString dictar(const QString& frase);
    QString historial() const;
    // GNOME Terminal (as `app`) running the shell script `guion` with `argumentos` ($0, $1…). Its
    // window belongs to the terminal server, which the bus starts and which outlives this client:
    // the shell is ended with the test, and the window with it.
    void abrirTerminal(const QString& guion, const QStringList& argumentos);
    // What Sonarel logged so far.
    QString registro();
    // Started first: the seat has its keyboard before any application starts.
    EntradaMutter entrada;
    QTemporaryDir dir;
    QProcess sonarel;
    QProcess app;

private:
    QProcessEnvironment entorno_;  // Sonarel's, on its folders in `dir`
    QString registro_;
};

}  // namespace sonarel::testing
