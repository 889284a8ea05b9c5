#include "ui/GestorModelos.h"

#include "modelos/Recomendacion.h"
#include "platform/MainThread.h"

#include <QCheckBox>
#include <QFileInfo>
#include <QLabel>
#include <QPointer>
#include <QPushButton>
#include <QTreeWidget>

namespace sonarel {

GestorModelos::GestorModelos(Servicios servicios, QWidget* parent)
    : QWidget(parent, Qt::Window),
      s_(std::move(servicios)),
      descarga_(s_.carpetas.value(0), s_.clock,
                [&modelos = s_.modelos](const QString& desde, const QString& hacia) {
                    return modelos.quantize(desde, hacia);
                }),
      equipo_(s_.modelos, s_.archivoMedicion) {
    construir();

    connect(&descarga_, &DescargaModelo::progreso, this, &GestorModelos::mostrarProgreso);
    connect(&descarga_, &DescargaModelo::comprobando, this, &GestorModelos::actualizar);
    connect(&descarga_, &DescargaModelo::reduciendo, this, &GestorModelos::actualizar);
    connect(&descarga_, &DescargaModelo::instalado, this, &GestorModelos::alInstalar);
    connect(&descarga_, &DescargaModelo::fallida, this, [this](const QString& mensaje) {
        mensaje_->setText(mensaje);
        actualizar();
    });
    connect(&equipo_, &MedicionDelEquipo::cambio, this, [this] {
        if (!equipo_.enCurso()) {
            elegirParciales();
        }
        actualizar();
    });
    QPointer<GestorModelos> self(this);
    s_.modelos.setObserver([self] {
        postToMain([self] {
            if (self) {
                self->actualizar();
            }
        });
    });
    // The time left moves on between the packets too.
    reloj_ = s_.clock.every(1, [this] {
        if (descarga_.fase() == DescargaModelo::Fase::descargando) {
            mostrarProgreso();
        }
    });
    actualizar();
    const SpeechModels::InUse enUso = s_.modelos.inUse();
    for (const Modelo& modelo : modelos()) {
        if (!enUso.path.isEmpty() && modelo.ruta == enUso.path) {
            seleccionar(modelo.nombre);
        }
    }
}

void GestorModelos::mostrar() {
    if (!equipo_.resultado() && !equipo_.enCurso()) {
        medir();
    }
    actualizar();
    show();
    raise();
    activateWindow();
}

void GestorModelos::medir() {
    equipo_.medir(s_.catalogo, modelosInstalados(s_.carpetas), s_.memoria);
}

QList<GestorModelos::Modelo> GestorModelos::modelos() const {
    const QList<ModeloInstalado> instalados = modelosInstalados(s_.carpetas);
    QList<Modelo> lista;
    QStringList vistos;
    for (const ModeloPublicado& publicado : s_.catalogo) {
        Modelo modelo{publicado.nombre, publicado, {}, false};
        for (const ModeloInstalado& instalado : instalados) {
            if (modelo.ruta.isEmpty() &&
                QFileInfo(instalado.ruta).fileName() == publicado.archivo) {
                modelo.ruta = instalado.ruta;
                modelo.delUsuario = instalado.delUsuario;
                vistos << instalado.ruta;
            }
        }
        lista.append(modelo);
    }
    for (const ModeloInstalado& instalado : instalados) {
        if (!vistos.contains(instalado.ruta)) {
            lista.append({QFileInfo(instalado.ruta).fileName(), std::nullopt, instalado.ruta,
                          instalado.delUsuario});
        }
    }
    return lista;
}

int GestorModelos::fila(const QString& nombre) const {
    for (int i = 0; i < lista_->topLevelItemCount(); ++i) {
        if (lista_->topLevelItem(i)->data(kModelo, Qt::UserRole).toString() == nombre) {
            return i;
        }
    }
    return -1;
}

void GestorModelos::seleccionar(const QString& nombre) {
    const int i = fila(nombre);
    if (i >= 0) {
        lista_->setCurrentItem(lista_->topLevelItem(i));
    }
}

std::optional<GestorModelos::Modelo> GestorModelos::seleccionado() const {
    const QTreeWidgetItem* item = lista_->currentItem();
    if (!item || !item->isSelected()) {
        return std::nullopt;
    }
    const QString nombre = item->data(kModelo, Qt::UserRole).toString();
    for (const Modelo& modelo : modelos()) {
        if (modelo.nombre == nombre) {
            return modelo;
        }
    }
    return std::nullopt;
}

void GestorModelos::actualizar() {
    const std::optional<Modelo> antes = seleccionado();
    const SpeechModels::InUse enUso = s_.modelos.inUse();
    std::optional<ModeloPublicado> recomendado;
    std::optional<ModeloPublicado> recomendadoParciales;
    if (equipo_.resultado()) {
        if (const std::optional<Dictado> dictado =
                recomendarDictado(s_.catalogo, *equipo_.resultado(), s_.memoria)) {
            recomendado = dictado->final;
            recomendadoParciales = dictado->parciales;
        }
    }
    lista_->clear();
    for (const Modelo& modelo : modelos()) {
        auto* item = new QTreeWidgetItem(lista_);
        const auto es = [&](const std::optional<ModeloPublicado>& otro) {
            return otro && modelo.publicado && modelo.publicado->nombre == otro->nombre;
        };
        const bool esRecomendado = es(recomendado);
        item->setText(kModelo, esRecomendado ? modelo.nombre + QStringLiteral("  ★ recomendado")
                               : es(recomendadoParciales)
                                   ? modelo.nombre + QStringLiteral("  ★ texto en vivo")
                                   : modelo.nombre);
        item->setData(kModelo, Qt::UserRole, modelo.nombre);
        if (esParakeet(modelo.publicado ? modelo.publicado->archivo : modelo.nombre)) {
            item->setToolTip(kModelo, kSobreParakeet);
        }
        const qint64 bytes =
            modelo.ruta.isEmpty() ? modelo.publicado->bytes : QFileInfo(modelo.ruta).size();
        item->setText(kDisco, textoBytes(bytes));
        item->setText(kMemoria, modelo.publicado ? textoBytes(modelo.publicado->memoria)
                                                 : QStringLiteral("—"));
        item->setText(kVelocidad, velocidad(modelo));
        item->setText(kEstado, estado(modelo, enUso));
        for (int c : {kDisco, kMemoria}) {
            item->setTextAlignment(c, Qt::AlignRight | Qt::AlignVCenter);
        }
        if (esRecomendado || (!enUso.path.isEmpty() && modelo.ruta == enUso.path)) {
            QFont negrita = item->font(kModelo);
            negrita.setBold(true);
            item->setFont(kModelo, negrita);
        }
    }
    // The recommended model is the one a first start is most likely to want.
    if (antes) {
        seleccionar(antes->nombre);
    } else if (recomendado) {
        seleccionar(recomendado->nombre);
    }
    mostrarMedicion();
    mostrarProgreso();
    actualizarBotones();
}

void GestorModelos::actualizarBotones() {
    const std::optional<Modelo> modelo = seleccionado();
    const bool libre = descarga_.fase() == DescargaModelo::Fase::inactiva;
    const SpeechModels::InUse enUso = s_.modelos.inUse();
    descargar_->setEnabled(libre && modelo && modelo->publicado && modelo->ruta.isEmpty());
    usar_->setEnabled(modelo && !modelo->ruta.isEmpty() &&
                      (modelo->ruta != enUso.path || enUso.state == SpeechModels::State::failed));
    borrar_->setEnabled(modelo && modelo->delUsuario);
}

void GestorModelos::descargarSeleccionado() {
    const std::optional<Modelo> modelo = seleccionado();
    if (!modelo || !modelo->publicado) {
        return;
    }
    mensaje_->clear();
    descarga_.descargar(*modelo->publicado, conservarOriginal_->isChecked());
    actualizar();
}

void GestorModelos::alInstalar(const QString& ruta) {
    const QString nombre = descarga_.modelo()->nombre;
    const SpeechModels::InUse enUso = s_.modelos.inUse();
    // With no model at work yet, the first one to arrive is the one to dictate with (the
    // recognizer may have found it in the folder already; the choice is kept all the same).
    if (enUso.path.isEmpty() || enUso.path == ruta || enUso.state == SpeechModels::State::failed) {
        usar(ruta);
        mensaje_->setText(QStringLiteral("%1 está instalado y el dictado ya lo usa.").arg(nombre) +
                          (esParakeet(QFileInfo(ruta).fileName())
                               ? QStringLiteral(" ") + kSobreParakeet
                               : QString()));
    } else {
        mensaje_->setText(
            QStringLiteral("%1 está instalado. Pulsa Usar para dictar con él.").arg(nombre));
        // It may be the faster model the one in use was waiting for.
        elegirParciales();
    }
    // A size that had only an estimate (Parakeet's, which has no stand-in of random weights to
    // time) gets its own figure.
    const std::optional<Medicion>& medicion = equipo_.resultado();
    const PasoDelCodificador* paso =
        medicion ? medicion->paso(descarga_.modelo()->tamano) : nullptr;
    if (medicion && (!paso || paso->estimado)) {
        medir();
    }
    actualizar();
}

void GestorModelos::usar(const QString& ruta) {
    s_.preferencias.set(QString::fromLatin1(Preferences::kModelo), ruta);
    s_.preferencias.sync();
    s_.modelos.use(ruta);
    elegirParciales();
    const QString nombre = QFileInfo(ruta).fileName();
    const QString parciales = s_.preferencias.modeloParciales();
    QString texto = ruta.isEmpty() ? QString()
                    : parciales.isEmpty()
                        ? QStringLiteral("El dictado usa ahora %1.").arg(nombre)
                        : QStringLiteral(
                              "El dictado usa ahora %1, con %2 para el texto que se ve "
                              "mientras hablas, que %1 no daría a tiempo en este "
                              "equipo.")
                              .arg(nombre, QFileInfo(parciales).fileName());
    if (esParakeet(nombre)) {
        texto += QLatin1Char(' ') + kSobreParakeet;
    }
    mensaje_->setText(texto);
    actualizar();
}

void GestorModelos::elegirParciales() {
    const QString enUso =
        s_.preferencias.modelo().isEmpty() ? s_.modelos.inUse().path : s_.preferencias.modelo();
    std::optional<ModeloPublicado> final;
    QList<ModeloPublicado> instalados;
    QStringList rutas;
    for (const Modelo& modelo : modelos()) {
        if (!modelo.publicado || modelo.ruta.isEmpty()) {
            continue;
        }
        if (modelo.ruta == enUso) {
            final = modelo.publicado;
        }
        instalados.append(*modelo.publicado);
        rutas.append(modelo.ruta);
    }
    const std::optional<Medicion>& medicion = equipo_.resultado();
    std::optional<ModeloPublicado> parciales;
    if (final && medicion) {
        parciales = parcialesPara(*final, instalados, *medicion, s_.memoria);
    }
    QString ruta;
    for (qsizetype i = 0; parciales && i < instalados.size(); ++i) {
        if (instalados[i].nombre == parciales->nombre) {
            ruta = rutas[i];
        }
    }
    if (ruta != s_.preferencias.modeloParciales()) {
        s_.preferencias.set(QString::fromLatin1(Preferences::kModeloParciales), ruta);
        s_.preferencias.sync();
        s_.modelos.useForPartials(ruta);
    }
}

void GestorModelos::borrarSeleccionado() {
    const std::optional<Modelo> modelo = seleccionado();
    if (!modelo || !modelo->delUsuario) {
        return;
    }
    const bool enUso = s_.modelos.inUse().path == modelo->ruta;
    if (!QFile::remove(modelo->ruta)) {
        mensaje_->setText(QStringLiteral("No se pudo borrar %1.").arg(modelo->ruta));
        return;
    }
    // The recognizer already loaded keeps working; the next one comes from what is left.
    if (enUso || s_.preferencias.modelo() == modelo->ruta) {
        usar(QString());
    } else {
        elegirParciales();
    }
    mensaje_->setText(QStringLiteral("Se borró %1.").arg(modelo->nombre));
    actualizar();
}

}  // namespace sonarel
