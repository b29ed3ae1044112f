#include <gtest/gtest.h>

#include <clocale>
#include <string>

#include "tests/support/Locale.h"
#include "toolkit/Numbers.h"

namespace {

struct FormatCase {
  const char* Pattern;
  long double Value;
  const char* Point;  // expected with "." as separator
};

TEST(FormatFloat, PatternsRoundSignAndNoGrouping) {
  const FormatCase cases[] = {
      {"0.000", 0.0L, "0.000"},
      {"0.000", -12.5L, "-12.500"},
      {"0.000", 1234.5678L, "1234.568"},
      {"0.000", 3.25L, "3.250"},
      {"0.00", 1234.5L, "1234.50"},
      {"0.0", 20.0L, "20.0"},
      {"0.0", 68.0L, "68.0"},
      {"0.000", 0.25L, "0.250"},
      {"0.000", 1234567.0L, "1234567.000"},
      {"0.000", -0.0001L, "0.000"},
      {"0.00", -0.004L, "0.00"},
      {"0.000", 10000.0L, "10000.000"},
      {"0.0", -1.26L, "-1.3"},
      {"0", 2510.0L, "2510"},
      {"0", 16000.0L, "16000"},
      {"0.000", 0.9999L, "1.000"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(FormatFloat(c.Pattern, c.Value, '.'), c.Point) << c.Pattern << " " << (double)c.Value;
    std::string comma = c.Point;
    if (auto p = comma.find('.'); p != std::string::npos) comma[p] = ',';
    EXPECT_EQ(FormatFloat(c.Pattern, c.Value, ','), comma);
  }
}

TEST(FormatFloat, UsesTheLocalesSeparator) {
  {
    ScopedNumericLocale point("C");
    EXPECT_EQ(DecimalSeparator(), '.');
    EXPECT_EQ(FormatFloat("0.000", 12.5L), "12.500");
  }
  {
    ScopedNumericLocale comma(kCommaLocale);
    ASSERT_TRUE(comma.Ok()) << kCommaLocale << " is not installed";
    EXPECT_EQ(DecimalSeparator(), ',');
    EXPECT_EQ(FormatFloat("0.000", 12.5L), "12,500");
    EXPECT_EQ(FormatFloat("0.00", 1234.5L), "1234,50") << "no thousands grouping";
  }
}

TEST(TextToFloat, AcceptedFormsWithEitherSeparator) {
  struct Case {
    const char* Text;
    bool Ok;
    long double Value;
  };
  const Case cases[] = {
      {"12.5", true, 12.5L}, {"  12.5  ", true, 12.5L}, {"-1", true, -1.0L},
      {"+3", true, 3.0L},    {"1e3", true, 1000.0L},    {"2.5E-1", true, 0.25L},
      {".5", true, 0.5L},    {"5.", true, 5.0L},        {"0", true, 0.0L},
      {"", false, 0},        {"   ", false, 0},         {"-", false, 0},
      {".", false, 0},       {"abc", false, 0},         {"1.2.3", false, 0},
      {"12,5", false, 0},    {"1 2", false, 0},         {"1e", false, 0},
      {"1e+", false, 0},     {"1e99999", false, 0},     {"nan", false, 0},
      {"inf", false, 0},     {"0x10", false, 0},        {"1e3x", false, 0},
  };
  for (const auto& c : cases) {
    long double v = -777;
    EXPECT_EQ(TryTextToFloat(c.Text, v, '.'), c.Ok) << '"' << c.Text << '"';
    if (c.Ok) {
      EXPECT_EQ(v, c.Value) << c.Text;
    } else {
      EXPECT_EQ(v, -777) << "value untouched on failure";
    }
  }
  long double v = 0;
  EXPECT_TRUE(TryTextToFloat("12,5", v, ','));
  EXPECT_EQ(v, 12.5L);
  EXPECT_FALSE(TryTextToFloat("12.5", v, ','));
}

TEST(TextToFloat, FollowsTheLocale) {
  ScopedNumericLocale comma(kCommaLocale);
  ASSERT_TRUE(comma.Ok());
  long double v = 0;
  EXPECT_TRUE(TryTextToFloat("3,25", v));
  EXPECT_EQ(v, 3.25L);
  EXPECT_FALSE(TryTextToFloat("3.25", v)) << "the wrong separator is not a number";
}

TEST(StrToInt, LeadingBlanksSignDigitsAnd32Bits) {
  struct Case {
    const char* Text;
    bool Ok;
    int Value;
  };
  const Case cases[] = {
      {"192", true, 192},
      {" 192", true, 192},
      {"-01234", true, -1234},
      {"+5", true, 5},
      {"2147483647", true, 2147483647},
      {"-2147483648", true, INT32_MIN},
      {"2147483648", false, 0},
      {"", false, 0},
      {" ", false, 0},
      {"-", false, 0},
      {"1 92", false, 0},
      {"192 ", false, 0},
      {"12a", false, 0},
      {"99999999999999999999", false, 0},
  };
  for (const auto& c : cases) {
    std::int32_t v = -7;
    EXPECT_EQ(TryStrToInt(c.Text, v), c.Ok) << '"' << c.Text << '"';
    if (c.Ok) {
      EXPECT_EQ(v, c.Value);
    }
  }
}

}  // namespace
