#include "ui/Idioma.h"

#include <gtest/gtest.h>

#include <QSet>

namespace sonarel {
namespace {

TEST(Idioma, CatalogueHoldsTheSixSpanishLocalesInPickerOrder) {
    const QList<Idioma> esperado{
        {"es-MX", "Español (México)"},   {"es-419", "Español (Latinoamérica)"},
        {"es-ES", "Español (España)"},   {"es-US", "Español (EE. UU.)"},
        {"es-CO", "Español (Colombia)"}, {"es-CL", "Español (Chile)"},
    };
    EXPECT_EQ(Idioma::todos(), esperado);
    EXPECT_EQ(&Idioma::todos(), &Idioma::todos());
}

TEST(Idioma, EqualityAndHashCoverBothFields) {
    const Idioma mexico{"es-MX", "Español (México)"};
    EXPECT_EQ(mexico, Idioma::todos().front());
    EXPECT_NE(mexico, (Idioma{"es-MX", "Mexicano"}));
    EXPECT_NE(mexico, (Idioma{"es-ES", "Español (México)"}));

    QSet<Idioma> conjunto(Idioma::todos().begin(), Idioma::todos().end());
    conjunto.insert(mexico);
    conjunto.insert({"es-MX", "Mexicano"});
    EXPECT_EQ(conjunto.size(), 7);
}

TEST(Idioma, UnknownStoredLocaleSelectsNothing) {
    const auto& todos = Idioma::todos();
    const auto encontrado =
        std::find_if(todos.begin(), todos.end(), [](const Idioma& i) { return i.id == "en-US"; });
    EXPECT_EQ(encontrado, todos.end());
    EXPECT_EQ(todos.size(), 6);
}

}  // namespace
}  // namespace sonarel
