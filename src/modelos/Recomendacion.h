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
// This machine's physical memory, in bytes.
qint64 memoriaDelEquipo();

// The sizes of `catalogo`, lightest first.
QStringList tamanosDe(const QList<ModeloPublicado>& catalogo);

// A measurement kept in a file between runs; none when the file holds none.
std::optional<Medicion> leerMedicion(const QString& ruta);
bool guardarMedicion(const QString& ruta, const Medicion& medicion);

}  // namespace sonarel
