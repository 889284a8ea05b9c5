#pragma once

#include "modelos/CatalogoModelos.h"

#include <QList>
#include <QString>
#include <QStringList>

#include <functional>
#include <optional>

namespace sonarel {

// What one encoder pass of a size takes on this machine over live decoding's longest window.
struct PasoDelCodificador {
    QString tamano;
    double segundos = 0;
    bool estimado = false;  // worked out from a lighter size's measurement, not measured
};

struct Medicion {
    int hilos = 1;       // threads the passes ran with: half the cores
    double ventana = 0;  // seconds of audio each pass covered
    QList<PasoDelCodificador> pasos;

    const PasoDelCodificador* paso(const QString& tamano) const;
};

// Live decoding keeps up when one pass over its longest window takes at most half of it; the
// other half is left for the decoder's tokens and the partial results.
inline constexpr double kParteDeLaVentana = 0.5;
bool vaAlDia(double segundos, double ventana);

// Times `tamanos`, lightest first, with `medir`. A size is measured only when `cabe` says it fits
// in memory, and either it is one of `instalados` or the last measured pass, scaled by the ratio
// of `coste`, says it might keep up (up to half again over the bound); otherwise that scaled
// figure stands for it, as an estimate. A size whose measurement fails is estimated the same
// way, or left out when nothing lighter was measured.
QList<PasoDelCodificador> medirTamanos(
    const QStringList& tamanos, double ventana,
    const std::function<std::optional<double>(const QString&)>& medir,
    const std::function<std::optional<double>(const QString&)>& coste,
    const std::function<bool(const QString&)>& cabe, const QStringList& instalados = {});

// The most accurate model of `catalogo` whose size keeps up and which needs at most half of
// `memoria` (the rest is the desktop's); when no size keeps up, the best such form of the fastest
// size. Nothing when no measured model fits.
std::optional<ModeloPublicado> recomendar(const QList<ModeloPublicado>& catalogo,
                                          const Medicion& medicion, qint64 memoria);
bool cabeEnMemoria(const ModeloPublicado& modelo, qint64 memoria);

// The text shown while an utterance is spoken trails the voice by at most about 0.7 s when one
// pass of its model over the window takes at most this share of it.
inline constexpr double kParteParaParciales = 0.05;
// At the stop, what is left to decode is the partial decoding under way (its decoder costs about
// as much again as its encoder) and the final one over the last words: when twice the partial
// model's pass and the final model's come within this share of the window, the text is pasted
// about half a second after the stop.
inline constexpr double kParteParaElCierre = 0.14;

// Live dictation with one model or two: `final` gives each utterance's kept text and, when
// `parciales` is set, that faster model the text shown while it is spoken.
struct Dictado {
    ModeloPublicado final;
    std::optional<ModeloPublicado> parciales;
};

// The most accurate of the models that write Spanish with about one error in twenty words or
// fewer (Parakeet, large-v3-turbo) that shows the text in time and pastes it soon after the stop,
// alone or beside a faster model for the partials; when none does, the model `recomendar` picks,
// with `parcialesPara`'s. Both must fit in half of `memoria` together. Nothing when no measured
// model fits.
std::optional<Dictado> recomendarDictado(const QList<ModeloPublicado>& catalogo,
                                         const Medicion& medicion, qint64 memoria);
// The model among `candidatos` that shows the text while an utterance is spoken when `final`'s
// own partials would come late: the most accurate one that also leaves the stop in time, else
// the fastest. None when `final` keeps up by itself, or nothing is fast enough.
std::optional<ModeloPublicado> parcialesPara(const ModeloPublicado& final,
                                             const QList<ModeloPublicado>& candidatos,
                                             const Medicion& medicion, qint64 memoria);
// This machine's physical memory, in bytes.
qint64 memoriaDelEquipo();

// The sizes of `catalogo`, lightest first.
QStringList tamanosDe(const QList<ModeloPublicado>& catalogo);

// A measurement kept in a file between runs; none when the file holds none.
std::optional<Medicion> leerMedicion(const QString& ruta);
bool guardarMedicion(const QString& ruta, const Medicion& medicion);

}  // namespace sonarel
