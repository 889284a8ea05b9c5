#include "ui/Idioma.h"

namespace sonarel {

const QList<Idioma>& Idioma::todos() {
    static const QList<Idioma> catalogo{
        {QStringLiteral("es-MX"), QStringLiteral("Español (México)")},
        {QStringLiteral("es-419"), QStringLiteral("Español (Latinoamérica)")},
        {QStringLiteral("es-ES"), QStringLiteral("Español (España)")},
        {QStringLiteral("es-US"), QStringLiteral("Español (EE. UU.)")},
        {QStringLiteral("es-CO"), QStringLiteral("Español (Colombia)")},
        {QStringLiteral("es-CL"), QStringLiteral("Español (Chile)")},
    };
    return catalogo;
}

}  // namespace sonarel
