#pragma once

#include "engine/SpeechEngine.h"
#include "ui/Aviso.h"
#include "ui/ServiciosVentana.h"

#include <QWidget>

#include <optional>

class QAbstractButton;
class QHBoxLayout;
class QLabel;
class QPushButton;
class QToolButton;

namespace sonarel {

class Medidor;

// The main window's footer: the notice line, the Dictar button, the meter, the counter and the
// delivery actions with their shortcuts.
class Pie : public QWidget {
    Q_OBJECT

public:
    Pie(SpeechEngine& motor, ServiciosVentana servicios, QWidget* parent = nullptr);

    // The save-as-file flow.
    void guardar();

    // The window's own notice about the last delivery, if any.
    std::optional<QString> aviso() const;
    // A lasting notice about the shortcut, shown when there is nothing more pressing to say.
    void setAvisoAtajo(std::optional<Aviso> aviso);
    // Says why a paste into the previous application did not go.
    void avisarPegadoFallido();
    // Says that the editor holds a dictation a run that did not end left behind.
    void avisarRecuperado();

    // Whether `acorde` is one of the footer's shortcuts whose action is enabled now: then it
    // wins over the editor's own use of it.
    bool tomaAtajo(const QKeySequence& acorde) const;

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
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QWidget* crearLineaAviso();
    QLayout* crearAcciones();
    void crearDictado(QHBoxLayout& fila);
    void crearEntregas(QHBoxLayout& fila);
    void crearAtajos();

    void mostrarEstado();
    void mostrarTexto();
    void mostrarAviso();
    void mostrarContador();
    void mostrarNivel();
    void actualizarConsejos();

    void enviarATerminal();
    void pegarEnAppAnterior();
    void borrar();
    void ponerAviso(std::optional<Aviso> aviso);

    SpeechEngine& motor_;
    ServiciosVentana servicios_;
    std::optional<Aviso> propio_;
    std::optional<Aviso> atajo_;

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
