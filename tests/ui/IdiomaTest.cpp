#include "ui/Idioma.h"

#include <gtest/gtest.h>

namespace sonarel {
namespace {

TEST(Idioma, CatalogueHoldsTheSixSpanishLocalesInPickerOrder) {
    const QList<Idioma> esperado{
        {"es-MX", "Español (México)"},   {"es-419", "Español (Latinoamérica)"},
        {"es-ES", "Español (España)"},   {"es-US", "Español (EE. UU.)"},
        {"es-CO", "Español (Colombia)"}, {"es-CL", "Español (Chile)"},
    };
    EXPECT_EQ(Idioma::todos(), esperado);
}

}  // namespace
}  // namespace sonarel
