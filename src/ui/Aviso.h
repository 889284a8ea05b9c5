#pragma once

#include <QString>

namespace sonarel {

// A sentence for the footer's notice line, and the link it offers beside it.
struct Aviso {
    enum class Enlace {
        Ninguno,
        ModelosDeVoz,  // opens the model manager
    };

    QString texto;
    Enlace enlace = Enlace::Ninguno;

    friend bool operator==(const Aviso&, const Aviso&) = default;
};

}  // namespace sonarel
