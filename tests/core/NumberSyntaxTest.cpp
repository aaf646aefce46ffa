#include "core/NumberSyntax.h"

#include <gtest/gtest.h>

#include <clocale>
#include <cmath>
#include <string>

using namespace cropling;

TEST(NumberSyntax, AcceptsWholeStrtodNumbersOnly) {
    for (const char* text : {"1.5", "-3", "2e0", "+0.75", "0x1p1", "inf", "-Infinity", "1e-3", ".5"})
        EXPECT_TRUE(parseNumber(text)) << text;
    EXPECT_EQ(*parseNumber("0x1p1"), 2.0);
    EXPECT_TRUE(std::isnan(*parseNumber("nan")));
    for (const char* text : {"", " 1.5", "\t2", "1.5 ", "1,5", "abc", "1.5x", "--1", "\n1"})
        EXPECT_FALSE(parseNumber(text)) << '"' << text << '"';
    EXPECT_FALSE(parseNumber(QByteArray("1\0" "5", 3)));
}

TEST(NumberSyntax, IgnoresACommaDecimalLocale) {
    const std::string previous = std::setlocale(LC_NUMERIC, nullptr);
    if (!std::setlocale(LC_NUMERIC, "de_DE.UTF-8"))
        GTEST_SKIP() << "de_DE.UTF-8 is not installed";
    const auto value = parseNumber("1.5");
    std::setlocale(LC_NUMERIC, previous.c_str());
    ASSERT_TRUE(value);
    EXPECT_EQ(*value, 1.5);
}
