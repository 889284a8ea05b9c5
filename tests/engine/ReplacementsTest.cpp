#include "engine/Replacements.h"

#include <gtest/gtest.h>

using namespace sonarel;

TEST(Replacements, WholeWordsAnyCaseFollowingTheCaseHeard) {
    const QList<Replacement> mine = {
        {"sonar el", "Sonarel"}, {"guasap", "WhatsApp"}, {"ka ene", "k8s"}, {"poner", "meter"}};
    EXPECT_EQ(text::replaced("abre sonar el y guasap", mine), "abre Sonarel y WhatsApp");
    EXPECT_EQ(text::replaced("Guasap. GUASAP, guaSap", mine), "WhatsApp. WHATSAPP, WhatsApp");
    EXPECT_EQ(text::replaced("Poner y PONER y poner", mine), "Meter y METER y meter");
    EXPECT_EQ(text::replaced("Ka ene arriba", mine), "K8s arriba");
    // Only whole words: not inside "ponerlo" or "reponer".
    EXPECT_EQ(text::replaced("ponerlo y reponer", mine), "ponerlo y reponer");
    EXPECT_EQ(text::replaced("", mine), "");
}

TEST(Replacements, SignsInWhatIsSaidAreTakenLiterally) {
    EXPECT_EQ(text::replaced("c++ o c", {{"c++", "C++"}}), "C++ o c");
    EXPECT_EQ(text::replaced("a.b axb", {{"a.b", "ab"}}), "ab axb");
}

TEST(Replacements, OnePairALineThroughTheirTextForm) {
    const QList<Replacement> pairs = text::parseReplacements(
        "sonar el → Sonarel\n  guasap ->  WhatsApp \nsin flecha\n → vacío\nmi => \nka => k8s");
    ASSERT_EQ(pairs.size(), 3);
    EXPECT_EQ(pairs[0].dices, "sonar el");
    EXPECT_EQ(pairs[1].escribe, "WhatsApp");
    EXPECT_EQ(pairs[2].escribe, "k8s");
    EXPECT_EQ(text::formatReplacements(pairs), "sonar el → Sonarel\nguasap → WhatsApp\nka → k8s");
    EXPECT_EQ(text::parseReplacements(text::formatReplacements(pairs)).size(), 3);
}
