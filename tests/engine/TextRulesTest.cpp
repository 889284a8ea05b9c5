#include "engine/TextRules.h"

#include <gtest/gtest.h>

using namespace sonarel;

TEST(Join, AddsExactlyOneSpaceUnlessTheFirstEndsInSpaceOrLineFeed) {
    EXPECT_EQ(text::join("hola", "mundo"), "hola mundo");
    EXPECT_EQ(text::join("hola ", "mundo"), "hola mundo");
    EXPECT_EQ(text::join("hola\n", "mundo"), "hola\nmundo");
    EXPECT_EQ(text::join("hola\t", "mundo"), "hola\t mundo");
    EXPECT_EQ(text::join("Fin.", "sigue"), "Fin. sigue");
}

TEST(Join, EmptySideGivesTheOtherUnchanged) {
    EXPECT_EQ(text::join("", " Hola"), " Hola");
    EXPECT_EQ(text::join("Hola ", ""), "Hola ");
    EXPECT_EQ(text::join("", ""), "");
}

TEST(WordCount, SpacesAndNewlinesSeparateTabsDoNot) {
    EXPECT_EQ(text::wordCount(""), 0);
    EXPECT_EQ(text::wordCount("uno  dos\n"), 2);
    EXPECT_EQ(text::wordCount("a\tb"), 1);
    EXPECT_EQ(text::wordCount("  \n \n  "), 0);
    EXPECT_EQ(text::wordCount("uno\r\ndos\u2028tres\u0085cuatro"), 4);
    EXPECT_EQ(text::wordCount(QString::fromUtf8("árbol niño 🇲🇽")), 3);
}

TEST(WordCount, ACharacterStartingWithASpaceIsASeparator) {
    // A space followed by a combining accent is one character whose first code point is a space.
    EXPECT_EQ(text::wordCount(QString::fromUtf8("uno \u0301dos")), 2);
}

TEST(Blank, TrimsUnicodeSpacesTabsAndNewlines) {
    EXPECT_TRUE(text::isBlank(""));
    EXPECT_TRUE(text::isBlank(" \t\n\r\u00a0\u2003\u2028\u2029\u0085"));
    EXPECT_FALSE(text::isBlank("  hola  "));
    EXPECT_FALSE(text::isBlank("\u200b"));  // a zero-width space is not white space
}
