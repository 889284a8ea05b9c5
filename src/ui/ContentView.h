#pragma once

#include "control/Archivador.h"
#include "control/Preferences.h"
#include "delivery/Paster.h"
#include "engine/SpeechEngine.h"
#include "platform/Clock.h"
#include "ui/AjustesEscritorio.h"

#include <QWidget>

#include <functional>
#include <optional>

class QComboBox;
class QLabel;
class QMenu;
class QPushButton;
class QTextEdit;
class QToolButton;

namespace sonarel {

class EstadoChip;
class Medidor;

// The main window's content: the header with the language, the status and the options; the
// editor with the dictated text; the footer with the notice line, the Dictar button, the meter,
// the counter and the delivery actions. It keeps no dictation logic: it shows the engine's
// published state, writes the preferences and calls the services it is given.
class ContentView : public QWidget {
    Q_OBJECT

public:
    // What the window works with besides the engine.
    struct Servicios {
        Preferences& preferencias;
        Paster& paster;
        Archivador& archivador;
        const Clock& clock;
        std::function<void(PanelAjustes)> abrirAjustes;
        // Asks the user where to save, proposing a file name; empty when the user cancels.
        std::function<QString(const QString& nombrePropuesto)> elegirArchivo;
    };

    ContentView(SpeechEngine& motor, Servicios servicios, QWidget* parent = nullptr);

    // Copies the four engine settings from the preferences into the engine.
    void sincronizar();
    // The save-as-file flow.
    void guardar();

    const std::optional<QString>& aviso() const { return aviso_; }
    // A lasting notice about the shortcut, shown when there is nothing more pressing to say.
    void setAvisoAtajo(std::optional<QString> aviso);
    // Says why a paste into the previous application did not go.
    void avisarPegadoFallido();

    // The parts, for the window's tests.
    QComboBox* selectorIdioma() const { return idioma_; }
    EstadoChip* estadoChip() const { return chip_; }
    QToolButton* botonOpciones() const { return opciones_; }
    QMenu* menuOpciones() const { return menuOpciones_; }
    QTextEdit* editor() const { return editor_; }
    QLabel* marcador() const { return marcador_; }
    QWidget* lineaAviso() const { return lineaAviso_; }
    QLabel* textoAviso() const { return textoAviso_; }
    QPushButton* enlaceAjustes() const { return enlaceAjustes_; }
    QPushButton* botonDictar() const { return dictar_; }
    Medidor* medidor() const { return medidor_; }
    QLabel* contador() const { return contador_; }
    QPushButton* botonCopiar() const { return copiar_; }
    QPushButton* botonTerminal() const { return terminal_; }
    QToolButton* botonPegar() const { return pegar_; }
    QToolButton* botonGuardar() const { return guardarArchivo_; }
    QPushButton* botonBorrar() const { return borrar_; }

protected:
    void showEvent(QShowEvent* event) override;
    void changeEvent(QEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QWidget* crearCabecera();
    QMenu* crearMenuOpciones();
    QWidget* crearEditor();
    QWidget* crearPie();

    void alCambiarEstado();
    void alCambiarTexto();
    void mostrarAviso();
    void mostrarContador();
    void mostrarPreferencias();
    void actualizarConsejos();
    void escribirPreferencia(const QString& clave, const QVariant& valor);
    void mostrarNivel();

    void enviarATerminal();
    void pegarEnAppAnterior();
    void borrar();
    void ponerAviso(std::optional<QString> aviso);

    SpeechEngine& motor_;
    Servicios servicios_;
    std::optional<QString> aviso_;
    std::optional<QString> avisoAtajo_;
    bool sincronizado_ = false;
    bool mostrandoTextoDelMotor_ = false;

    QComboBox* idioma_ = nullptr;
    EstadoChip* chip_ = nullptr;
    QToolButton* opciones_ = nullptr;
    QMenu* menuOpciones_ = nullptr;
    QTextEdit* editor_ = nullptr;
    QLabel* marcador_ = nullptr;
    QWidget* lineaAviso_ = nullptr;
    QLabel* textoAviso_ = nullptr;
    QPushButton* enlaceAjustes_ = nullptr;
    QPushButton* dictar_ = nullptr;
    Medidor* medidor_ = nullptr;
    QLabel* contador_ = nullptr;
    QPushButton* copiar_ = nullptr;
    QPushButton* terminal_ = nullptr;
    QToolButton* pegar_ = nullptr;
    QToolButton* guardarArchivo_ = nullptr;
    QPushButton* borrar_ = nullptr;
};

}  // namespace sonarel
