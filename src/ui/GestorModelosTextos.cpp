// The model manager's texts: how fast each model runs here, its state, the measurement and the
// download's progress.
#include "ui/GestorModelos.h"

#include "modelos/Recomendacion.h"

#include <QFileInfo>
#include <QLabel>
#include <QLocale>
#include <QProgressBar>
#include <QPushButton>
#include <QThread>
#include <QTreeWidget>

namespace sonarel {

namespace {

QString segundos(double valor) {
    return QLocale(QLocale::Spanish).toString(valor, 'f', valor < 10 ? 2 : 1) +
           QStringLiteral(" s");
}

QString duracion(double valor) {
    const int s = int(valor + 0.5);
    if (s < 60) {
        return QStringLiteral("%1 s").arg(s);
    }
    if (s < 3600) {
        return QStringLiteral("%1 min %2 s").arg(s / 60).arg(s % 60);
    }
    return QStringLiteral("%1 h %2 min").arg(s / 3600).arg(s % 3600 / 60);
}

}  // namespace

QString GestorModelos::velocidad(const Modelo& modelo) const {
    if (!modelo.publicado) {
        return QStringLiteral("—");
    }
    if (!cabeEnMemoria(*modelo.publicado, s_.memoria)) {
        return QStringLiteral("poca memoria");
    }
    const std::optional<Medicion>& medicion = equipo_.resultado();
    const PasoDelCodificador* paso = medicion ? medicion->paso(modelo.publicado->tamano) : nullptr;
    if (!paso) {
        return equipo_.enCurso() ? QStringLiteral("midiendo…") : QStringLiteral("—");
    }
    // Quantized forms take their size's figure, measured on its 16-bit form.
    const QString cifra =
        (paso->estimado || modelo.publicado->cuantizado() ? QStringLiteral("≈") : QString()) +
        segundos(paso->segundos);
    if (!vaAlDia(paso->segundos, medicion->ventana)) {
        return cifra + QStringLiteral(" · no da abasto");
    }
    return cifra + (paso->segundos <= kParteDeLaVentana * medicion->ventana / 2
                        ? QStringLiteral(" · sobrado")
                        : QStringLiteral(" · justo"));
}

QString GestorModelos::estado(const Modelo& modelo, const SpeechModels::InUse& enUso) const {
    if (descarga_.fase() != DescargaModelo::Fase::inactiva && modelo.publicado &&
        descarga_.modelo() && descarga_.modelo()->nombre == modelo.nombre) {
        if (descarga_.fase() == DescargaModelo::Fase::comprobando) {
            return QStringLiteral("Comprobando…");
        }
        if (descarga_.fase() == DescargaModelo::Fase::reduciendo) {
            return QStringLiteral("Reduciendo a 4 bits…");
        }
        return descarga_.total() > 0 ? QStringLiteral("Descargando %1 %")
                                           .arg(descarga_.recibidos() * 100 / descarga_.total())
                                     : QStringLiteral("Descargando…");
    }
    if (modelo.ruta.isEmpty()) {
        return {};
    }
    if (modelo.ruta == enUso.path) {
        switch (enUso.state) {
            case SpeechModels::State::loading:
                return QStringLiteral("En uso · cargando…");
            case SpeechModels::State::ready:
                return QStringLiteral("En uso");
            case SpeechModels::State::failed:
            case SpeechModels::State::none:
                return QStringLiteral("No carga: archivo dañado");
        }
    }
    if (modelo.ruta == s_.preferencias.modeloParciales()) {
        return QStringLiteral("En uso para el texto en vivo");
    }
    return modelo.delUsuario ? QStringLiteral("Instalado")
                             : QStringLiteral("Instalado en el sistema");
}

void GestorModelos::mostrarMedicion() {
    const std::optional<Medicion>& medicion = equipo_.resultado();
    if (equipo_.enCurso()) {
        medicion_->setText(
            QStringLiteral("Midiendo la velocidad de este equipo con %1…").arg(equipo_.midiendo()));
    } else if (medicion) {
        QStringList cifras;
        for (const PasoDelCodificador& paso : medicion->pasos) {
            cifras << paso.tamano + QLatin1Char(' ') +
                          (paso.estimado ? QStringLiteral("≈") : QString()) +
                          segundos(paso.segundos);
        }
        medicion_->setText(
            QStringLiteral("En este equipo, con %1 de %2 núcleos, un paso del codificador sobre "
                           "%3 s de voz tarda: %4. El dictado en vivo da abasto hasta %5 por "
                           "paso (≈: estimado a partir del tamaño anterior).")
                .arg(medicion->hilos)
                .arg(QThread::idealThreadCount())
                .arg(medicion->ventana)
                .arg(cifras.join(QStringLiteral(" · ")),
                     segundos(kParteDeLaVentana * medicion->ventana)));
    } else {
        medicion_->setText(QStringLiteral("Aún no se midió la velocidad de este equipo."));
    }
    std::optional<Dictado> dictado;
    if (medicion) {
        dictado = recomendarDictado(s_.catalogo, *medicion, s_.memoria);
    }
    if (!dictado) {
        recomendacion_->clear();
    } else if (const PasoDelCodificador* paso = medicion->paso(dictado->final.tamano);
               vaAlDia(paso->segundos, medicion->ventana)) {
        const ModeloPublicado* recomendado = &dictado->final;
        QString texto = QStringLiteral(
                            "Recomendado: <b>%1</b>, el más preciso que sigue el dictado en vivo "
                            "en este equipo.")
                            .arg(recomendado->nombre);
        if (dictado->parciales) {
            texto += QStringLiteral(
                         " Mientras hablas, el texto sale de <b>%1</b>, más rápido, y %2 lo "
                         "corrige en cuanto haces una pausa: tenlos instalados los dos.")
                         .arg(dictado->parciales->nombre, recomendado->nombre);
        }
        // Parakeet cannot be held to Spanish: the best whisper is the choice that always is.
        if (esParakeet(recomendado->archivo)) {
            QList<ModeloPublicado> whisper;
            for (const ModeloPublicado& modelo : s_.catalogo) {
                if (!esParakeet(modelo.archivo)) {
                    whisper.append(modelo);
                }
            }
            texto += QLatin1Char(' ') + kSobreParakeet;
            if (const std::optional<ModeloPublicado> alternativa =
                    recomendar(whisper, *medicion, s_.memoria)) {
                texto += QStringLiteral(
                             " Para dictar siempre en español, <b>%1</b> es el whisper "
                             "más preciso que lo sigue.")
                             .arg(alternativa->nombre);
            }
        }
        recomendacion_->setText(texto);
    } else {
        recomendacion_->setText(
            QStringLiteral("Recomendado: <b>%1</b>. Ningún modelo sigue el dictado en vivo en "
                           "este equipo; este es el más rápido.")
                .arg(dictado->final.nombre));
    }
    medir_->setEnabled(!equipo_.enCurso());
}

void GestorModelos::mostrarProgreso() {
    const DescargaModelo::Fase fase = descarga_.fase();
    filaProgreso_->setVisible(fase != DescargaModelo::Fase::inactiva);
    if (fase == DescargaModelo::Fase::inactiva) {
        return;
    }
    const qint64 total = descarga_.total();
    if (fase == DescargaModelo::Fase::comprobando) {
        barra_->setRange(0, 0);
        progreso_->setText(QStringLiteral("Comprobando la suma %1 de %2…")
                               .arg(descarga_.nombreDeLaSuma(), descarga_.modelo()->nombre));
        return;
    }
    if (fase == DescargaModelo::Fase::reduciendo) {
        barra_->setRange(0, 0);
        progreso_->setText(QStringLiteral("Haciendo la forma de 4 bits de %1 con el cuantizador "
                                          "de ggml…")
                               .arg(descarga_.modelo()->nombre));
        return;
    }
    if (total <= 0) {
        barra_->setRange(0, 0);
        progreso_->setText(textoBytes(descarga_.recibidos()));
        return;
    }
    barra_->setRange(0, 1000);
    barra_->setValue(int(descarga_.recibidos() * 1000 / total));
    QString texto =
        QStringLiteral("%1 de %2").arg(textoBytes(descarga_.recibidos()), textoBytes(total));
    if (const std::optional<double> restantes = descarga_.segundosRestantes()) {
        texto += QStringLiteral(" · quedan %1").arg(duracion(*restantes));
    }
    progreso_->setText(texto);
    if (QTreeWidgetItem* item = lista_->topLevelItem(fila(descarga_.modelo()->nombre))) {
        item->setText(kEstado,
                      QStringLiteral("Descargando %1 %").arg(descarga_.recibidos() * 100 / total));
    }
}

}  // namespace sonarel
