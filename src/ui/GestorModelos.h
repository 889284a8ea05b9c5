#pragma once

#include "control/Preferences.h"
#include "modelos/CatalogoModelos.h"
#include "modelos/DescargaModelo.h"
#include "modelos/MedicionDelEquipo.h"
#include "platform/Clock.h"
#include "platform/SpeechModels.h"

#include <QWidget>

class QCheckBox;
class QLabel;
class QProgressBar;
class QPushButton;
class QTreeWidget;

namespace sonarel {

// The model manager, "Modelos de voz": the published models and those installed, each with its
// size, the memory it needs and how it would keep up with live dictation on this machine; the
// one in use selected and the recommended one marked; download, cancel, use and delete. The
// choice of model is kept in the preferences. Main thread only.
class GestorModelos : public QWidget {
    Q_OBJECT

public:
    struct Servicios {
        SpeechModels& modelos;
        Preferences& preferencias;
        Clock& clock;
        QStringList carpetas;  // where models are looked for, the user's own first
        QList<ModeloPublicado> catalogo;
        QString archivoMedicion;  // where this machine's figures are kept
        qint64 memoria;           // of this machine
    };

    explicit GestorModelos(Servicios servicios, QWidget* parent = nullptr);

    // Shows the window in front; measures this machine first when it has no figures yet.
    void mostrar();

    // The parts, for the window's tests.
    QTreeWidget* lista() const { return lista_; }
    QLabel* textoMedicion() const { return medicion_; }
    QLabel* textoRecomendacion() const { return recomendacion_; }
    QLabel* textoMensaje() const { return mensaje_; }
    QProgressBar* barra() const { return barra_; }
    QLabel* textoProgreso() const { return progreso_; }
    QPushButton* botonDescargar() const { return descargar_; }
    QPushButton* botonCancelar() const { return cancelar_; }
    QPushButton* botonUsar() const { return usar_; }
    QPushButton* botonBorrar() const { return borrar_; }
    QPushButton* botonMedir() const { return medir_; }
    QCheckBox* casillaConservarOriginal() const { return conservarOriginal_; }
    // The row of the model called `nombre` (published name, or file name for others); -1: none.
    int fila(const QString& nombre) const;
    void seleccionar(const QString& nombre);

private:
    enum Columna { kModelo, kDisco, kMemoria, kVelocidad, kEstado };

    // One line of the list: a published model, installed or not, or another installed file.
    struct Modelo {
        QString nombre;
        std::optional<ModeloPublicado> publicado;
        QString ruta;  // empty: not installed
        bool delUsuario = false;
    };

    void construir();
    QList<Modelo> modelos() const;
    std::optional<Modelo> seleccionado() const;
    void actualizar();
    void mostrarMedicion();
    void mostrarProgreso();
    void actualizarBotones();
    QString velocidad(const Modelo& modelo) const;
    QString estado(const Modelo& modelo, const SpeechModels::InUse& enUso) const;

    void descargarSeleccionado();
    void usar(const QString& ruta);
    // Picks, among the installed models, the one that shows the text while an utterance is
    // spoken when the model in use is too slow for it, and keeps the choice.
    void elegirParciales();
    void borrarSeleccionado();
    void alInstalar(const QString& ruta);
    void medir();

    Servicios s_;
    DescargaModelo descarga_;
    MedicionDelEquipo equipo_;
    std::unique_ptr<Timer> reloj_;

    QLabel* medicion_ = nullptr;
    QLabel* recomendacion_ = nullptr;
    QPushButton* medir_ = nullptr;
    QTreeWidget* lista_ = nullptr;
    QWidget* filaProgreso_ = nullptr;
    QProgressBar* barra_ = nullptr;
    QLabel* progreso_ = nullptr;
    QPushButton* cancelar_ = nullptr;
    QLabel* mensaje_ = nullptr;
    QCheckBox* conservarOriginal_ = nullptr;
    QPushButton* descargar_ = nullptr;
    QPushButton* usar_ = nullptr;
    QPushButton* borrar_ = nullptr;
};

}  // namespace sonarel
