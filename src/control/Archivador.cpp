#include "control/Archivador.h"

namespace sonarel {

Archivador::Archivador(SpeechEngine& motor, const Historial& historial, QObject* parent)
    : QObject(parent), motor_(motor), historial_(historial) {
    connect(&motor_, &SpeechEngine::statusChanged, this, &Archivador::alCambiarEstado);
    connect(&motor_, &SpeechEngine::sessionEnded, this, &Archivador::alTerminarSesion);
}

void Archivador::guardarDictado(const QString& texto) const {
    historial_.guardar(texto);
}

void Archivador::guardarYBorrar() {
    if (motor_.text() != archivado_) {
        historial_.guardar(motor_.text());
    }
    motor_.clear();
    archivado_.clear();
    archivadoAlEmpezar_ = true;
}

void Archivador::mostrarArchivado(const QString& texto) {
    motor_.textBinding().set(texto);
    archivado_ = motor_.text();
}

void Archivador::alCambiarEstado() {
    if (motor_.isListening() && !enSesion_) {
        enSesion_ = true;
        archivadoAlEmpezar_ = motor_.text() == archivado_;
    }
}

void Archivador::alTerminarSesion() {
    enSesion_ = false;
    if (archivadoAlEmpezar_) {
        archivado_ = motor_.text();
    }
}

}  // namespace sonarel
