#include "engine/TextRules.h"

#include <gtest/gtest.h>

using namespace sonarel;

TEST(TextRules, Placeholder) { EXPECT_EQ(text::join("a", "b"), "a b"); }
