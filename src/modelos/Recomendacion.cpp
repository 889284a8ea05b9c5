#include "modelos/Recomendacion.h"

#include <QDir>
#include <QFileInfo>
#include <QSaveFile>

#include <algorithm>

#include <unistd.h>

namespace sonarel {

namespace {

// A size is tried when its estimate is at most this much over the bound: estimates from a
// lighter size have come out within a few tenths of the measured figure.
constexpr double kHolguraDeEstimacion = 1.5;

}  // namespace

const PasoDelCodificador* Medicion::paso(const QString& tamano) const {
    for (const PasoDelCodificador& p : pasos) {
        if (p.tamano == tamano) {
            return &p;
        }
    }
    return nullptr;
}

bool vaAlDia(double segundos, double ventana) {
    return segundos <= kParteDeLaVentana * ventana;
}

QList<PasoDelCodificador> medirTamanos(
    const QStringList& tamanos, double ventana,
    const std::function<std::optional<double>(const QString&)>& medir,
    const std::function<std::optional<double>(const QString&)>& coste,
    const std::function<bool(const QString&)>& cabe, const QStringList& instalados) {
    QList<PasoDelCodificador> pasos;
    std::optional<PasoDelCodificador> ultimoMedido;
    for (const QString& tamano : tamanos) {
        std::optional<double> estimacion;
        const std::optional<double> costeTamano = coste(tamano);
        if (ultimoMedido && costeTamano) {
            if (const std::optional<double> costeMedido = coste(ultimoMedido->tamano)) {
                estimacion = ultimoMedido->segundos * *costeTamano / *costeMedido;
            }
        }
        // An installed size is the user's own: its real figure is worth the time it takes.
        const bool prometedor = !estimacion || instalados.contains(tamano) ||
                                *estimacion <= kHolguraDeEstimacion * kParteDeLaVentana * ventana;
        if (prometedor && cabe(tamano)) {
            if (const std::optional<double> segundos = medir(tamano)) {
                ultimoMedido = PasoDelCodificador{tamano, *segundos, false};
                pasos.append(*ultimoMedido);
                continue;
            }
        }
        if (estimacion) {
            pasos.append({tamano, *estimacion, true});
        }
    }
    return pasos;
}

bool cabeEnMemoria(const ModeloPublicado& modelo, qint64 memoria) {
    return modelo.memoria <= memoria / 2;
}

qint64 memoriaDelEquipo() {
    return qint64(sysconf(_SC_PHYS_PAGES)) * qint64(sysconf(_SC_PAGE_SIZE));
}

std::optional<ModeloPublicado> recomendar(const QList<ModeloPublicado>& catalogo,
                                          const Medicion& medicion, qint64 memoria) {
    std::optional<ModeloPublicado> mejor;
    std::optional<ModeloPublicado> delMasRapido;
    double masRapido = 0;
    for (const ModeloPublicado& modelo : catalogo) {
        const PasoDelCodificador* paso = medicion.paso(modelo.tamano);
        if (!paso || !cabeEnMemoria(modelo, memoria)) {
            continue;
        }
        if (vaAlDia(paso->segundos, medicion.ventana)) {
            mejor = modelo;
        }
        if (!delMasRapido || paso->segundos < masRapido || modelo.tamano == delMasRapido->tamano) {
            delMasRapido = modelo;
            masRapido = paso->segundos;
        }
    }
    return mejor ? mejor : delMasRapido;
}

namespace {

// Published Spanish word error rates at or under about 5 %.
bool esPreciso(const ModeloPublicado& modelo) {
    return modelo.tamano == QLatin1String("parakeet-v3") ||
           modelo.tamano == QLatin1String("large-v3-turbo");
}

// The pass of `modelo` when it can show `final`'s text in time beside it: a measured size of its
// own, fast enough, and room in memory for both.
const PasoDelCodificador* pasoParaParciales(const ModeloPublicado& final,
                                            const ModeloPublicado& modelo, const Medicion& medicion,
                                            qint64 memoria) {
    const PasoDelCodificador* paso = medicion.paso(modelo.tamano);
    return paso && modelo.tamano != final.tamano &&
                   paso->segundos <= kParteParaParciales * medicion.ventana &&
                   final.memoria + modelo.memoria <= memoria / 2
               ? paso
               : nullptr;
}

// The most accurate of `candidatos` that shows `final`'s text in time and leaves the stop in
// time.
std::optional<ModeloPublicado> masPrecisoAlCierre(const ModeloPublicado& final,
                                                  const QList<ModeloPublicado>& candidatos,
                                                  const Medicion& medicion, qint64 memoria) {
    const double pasoFinal = medicion.paso(final.tamano)->segundos;
    std::optional<ModeloPublicado> elegido;
    for (const ModeloPublicado& modelo : candidatos) {
        const PasoDelCodificador* paso = pasoParaParciales(final, modelo, medicion, memoria);
        if (paso && 2 * paso->segundos + pasoFinal <= kParteParaElCierre * medicion.ventana) {
            elegido = modelo;  // later rows are the more accurate
        }
    }
    return elegido;
}

bool parcialesPropios(const Medicion& medicion, const ModeloPublicado& modelo) {
    const PasoDelCodificador* paso = medicion.paso(modelo.tamano);
    return paso && paso->segundos <= kParteParaParciales * medicion.ventana;
}

}  // namespace

std::optional<ModeloPublicado> parcialesPara(const ModeloPublicado& final,
                                             const QList<ModeloPublicado>& candidatos,
                                             const Medicion& medicion, qint64 memoria) {
    if (!medicion.paso(final.tamano) || parcialesPropios(medicion, final)) {
        return std::nullopt;
    }
    if (auto alCierre = masPrecisoAlCierre(final, candidatos, medicion, memoria)) {
        return alCierre;
    }
    std::optional<ModeloPublicado> masRapido;
    double rapidez = 0;
    for (const ModeloPublicado& modelo : candidatos) {
        const PasoDelCodificador* paso = pasoParaParciales(final, modelo, medicion, memoria);
        if (paso &&
            (!masRapido || paso->segundos < rapidez || modelo.tamano == masRapido->tamano)) {
            masRapido = modelo;
            rapidez = paso->segundos;
        }
    }
    return masRapido;
}

std::optional<Dictado> recomendarDictado(const QList<ModeloPublicado>& catalogo,
                                         const Medicion& medicion, qint64 memoria) {
    for (auto modelo = catalogo.crbegin(); modelo != catalogo.crend(); ++modelo) {
        if (!esPreciso(*modelo) || !medicion.paso(modelo->tamano) ||
            !cabeEnMemoria(*modelo, memoria)) {
            continue;
        }
        if (parcialesPropios(medicion, *modelo)) {
            return Dictado{*modelo, std::nullopt};
        }
        if (auto parciales = masPrecisoAlCierre(*modelo, catalogo, medicion, memoria)) {
            return Dictado{*modelo, parciales};
        }
    }
    const std::optional<ModeloPublicado> final = recomendar(catalogo, medicion, memoria);
    if (!final) {
        return std::nullopt;
    }
    return Dictado{*final, parcialesPara(*final, catalogo, medicion, memoria)};
}

QStringList tamanosDe(const QList<ModeloPublicado>& catalogo) {
    QStringList tamanos;
    for (const ModeloPublicado& modelo : catalogo) {
        if (!tamanos.contains(modelo.tamano)) {
            tamanos.append(modelo.tamano);
        }
    }
    return tamanos;
}

std::optional<Medicion> leerMedicion(const QString& ruta) {
    QFile archivo(ruta);
    if (!archivo.open(QIODevice::ReadOnly)) {
        return std::nullopt;
    }
    Medicion medicion;
    for (const QByteArray& linea : archivo.readAll().split('\n')) {
        const QList<QByteArray> campos = linea.split('\t');
        bool bien = false;
        if (campos.size() == 2 && campos[0] == "hilos") {
            medicion.hilos = campos[1].toInt(&bien);
        } else if (campos.size() == 2 && campos[0] == "ventana") {
            medicion.ventana = campos[1].toDouble(&bien);
        } else if (campos.size() == 3) {
            medicion.pasos.append(
                {QString::fromUtf8(campos[0]), campos[1].toDouble(&bien), campos[2] == "estimado"});
        } else {
            bien = linea.isEmpty();
        }
        if (!bien) {
            return std::nullopt;
        }
    }
    if (medicion.hilos <= 0 || medicion.ventana <= 0 || medicion.pasos.isEmpty()) {
        return std::nullopt;
    }
    return medicion;
}

bool guardarMedicion(const QString& ruta, const Medicion& medicion) {
    QDir().mkpath(QFileInfo(ruta).path());
    QSaveFile archivo(ruta);
    if (!archivo.open(QIODevice::WriteOnly)) {
        return false;
    }
    QByteArray texto = "hilos\t" + QByteArray::number(medicion.hilos) + "\nventana\t" +
                       QByteArray::number(medicion.ventana) + '\n';
    for (const PasoDelCodificador& paso : medicion.pasos) {
        texto += paso.tamano.toUtf8() + '\t' + QByteArray::number(paso.segundos, 'g', 6) + '\t' +
                 (paso.estimado ? "estimado" : "medido") + '\n';
    }
    archivo.write(texto);
    return archivo.commit();
}

}  // namespace sonarel
