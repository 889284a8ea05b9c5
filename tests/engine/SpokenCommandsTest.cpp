#include "engine/SpokenCommands.h"

#include <gtest/gtest.h>

using namespace sonarel;

namespace {

struct Case {
    const char* before;
    const char* heard;  // as the recognizer wrote it
    const char* written;
};

void expectTable(const std::vector<Case>& table) {
    for (const Case& c : table) {
        EXPECT_EQ(spoken::append(QString::fromUtf8(c.before), QString::fromUtf8(c.heard)),
                  QString::fromUtf8(c.written))
            << "after «" << c.before << "» heard «" << c.heard << "»";
    }
}

}  // namespace

TEST(SpokenCommands, EachCommandBecomesItsSign) {
    expectTable({
        {"", "Hola punto", "Hola."},
        {"", "Hola Punto Y Coma adiós", "Hola; adiós"},
        {"", "Hola coma qué tal", "Hola, qué tal"},
        {"", "Uno punto y coma dos", "Uno; dos"},
        {"", "La lista dos puntos pan", "La lista: pan"},
        {"", "Fin punto y aparte sigue", "Fin.\n\nSigue"},
        {"", "Fin nuevo párrafo sigue", "Fin\n\nSigue"},
        {"", "Fin nueva línea sigue", "Fin\nSigue"},
        {"", "Abre interrogación qué hora es cierra interrogación", "¿Qué hora es?"},
        {"", "Abre signo de exclamación hola cierra signo de exclamación", "¡Hola!"},
        {"", "Dijo abre paréntesis sin prisa cierra paréntesis", "Dijo (sin prisa)"},
        {"", "Leí abre comillas Rayuela cierra comillas", "Leí «Rayuela»"},
        {"", "Jean guion Paul", "Jean-Paul"},
        {"", "Guion pan nueva línea guion leche", "- Pan\n- Leche"},
        {"Lista:", "nueva línea guion pan", "Lista:\n- Pan"},
    });
}

TEST(SpokenCommands, ACapitalFollowsASentencesEndAlsoAcrossUtterances) {
    expectTable({
        {"", "Hola punto qué tal", "Hola. Qué tal"},
        {"", "Hola cierra exclamación adiós", "Hola! Adiós"},
        {"Ya está", "punto", "Ya está."},
        {"Ya está", "punto seguimos", "Ya está. Seguimos"},
        {"Lista:\n", "guion pan", "Lista:\n- Pan"},
        {"Uno,", "pan coma leche", "Uno, pan, leche"},
        {"Pregunto", "abre interrogación vienes", "Pregunto ¿vienes"},
    });
}

// Where the line between a command and an ordinary word is drawn.
TEST(SpokenCommands, AWordThatOnlySoundsLikeACommandStaysAWord) {
    expectTable({
        {"", "Desde mi punto de vista", "Desde mi punto de vista"},
        {"", "Es un punto importante", "Es un punto importante"},
        {"", "Llego a las dos en punto", "Llego a las dos en punto"},
        {"", "Falta una coma aquí", "Falta una coma aquí"},
        {"", "Quiero que coma bien", "Quiero que coma bien"},
        {"", "No coma eso", "No coma eso"},
        {"", "El guion de la película", "El guion de la película"},
        {"", "Ganamos por dos puntos de diferencia", "Ganamos por dos puntos de diferencia"},
        {"", "Los dos puntos", "Los dos puntos"},
        {"", "Una nueva línea de metro", "Una nueva línea de metro"},
        {"", "El punto y coma sobra", "El punto y coma sobra"},
        {"", "Tres coma cinco", "Tres coma cinco"},
        {"", "Sonarel punto com", "Sonarel punto com"},
        // At an utterance's end, or before a pause the recognizer marked, it is the command.
        {"", "Es el final punto", "Es el final."},
        {"", "Y en el punto.", "Y en el punto."},
        {"", "Mira, punto, de nuevo", "Mira. De nuevo"},
    });
}

TEST(SpokenCommands, TheRecognizersOwnPunctuationIsNotDoubled) {
    expectTable({
        {"", "Hola, coma, qué tal, punto.", "Hola, qué tal."},
        {"", "Hola. Punto.", "Hola."},
        {"", "Fin. Punto y aparte. Sigue.", "Fin.\n\nSigue."},
        // A sentence's end the recognizer guessed, replaced by a comma, takes its capital along.
        {"", "Pan. Coma. Leche.", "Pan, leche."},
        {"", "¿Qué hora es? Cierra interrogación.", "¿Qué hora es?"},
        // A line or paragraph break keeps the stop before it.
        {"", "Fin. Nueva línea. Sigue.", "Fin.\nSigue."},
    });
}

// An utterance without commands joins as any other text does.
TEST(SpokenCommands, TextWithoutCommandsKeepsItsSpacingAndCase) {
    expectTable({
        {"", "hola", "hola"},  // the recognizer capitalizes a text's start itself
        {"", "", ""},
        {"Hola", "", "Hola"},
        {"", "Son las 3,5 de sonarel.com", "Son las 3,5 de sonarel.com"},
        {"", "«Hola», dijo ella (bajito)...", "«Hola», dijo ella (bajito)..."},
        {"Antes", "después - ahora", "Antes después - ahora"},
        {"Antes ", "después", "Antes después"},
        {"Antes\n", "después", "Antes\ndespués"},
        {"Ya está.", "seguimos", "Ya está. seguimos"},
        {"Hola", "  mundo ", "Hola   mundo "},
    });
}
