// Numbers as text: the same as printf and strtod in the "C" locale, whatever the process locale.
#include "core/number_text.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "support/test_locale.h"

namespace vantor {
namespace {

struct Fixed {
  double value;
  int precision;
};
constexpr Fixed kFixed[] = {{0.5, 2},    {0.125, 2}, {0.135, 2},      {2.5, 0},   {-0.0, 2},
                            {-1.005, 2}, {1e20, 1},  {-1e300, 0},     {5.55, 2},  {100.0, 0},
                            {0.045, 3},  {1e-7, 10}, {123456.789, 4}, {0.999, 1}, {-2.5, 0}};

const char* const kTexts[] = {"0.5",
                              " \t0.50 and more",
                              "+.5e1x",
                              "-12",
                              "5.",
                              ".",
                              "1e",
                              "1e+",
                              "1e-3kHz",
                              "-1e400",
                              "1e-400",
                              "0x1p3",
                              "0x",
                              "0x.8",
                              "0X1P-2",
                              "0xg",
                              "inf",
                              "-Infinity",
                              "nan",
                              "",
                              "abc",
                              "--5",
                              "+-5",
                              "1,5",
                              "- 5",
                              "440 Hz",
                              "1e99999999999999999999",
                              "0.0000e999999",
                              "7e-1"};

// What printf and strtod give in the "C" locale, the process's locale at start.
std::vector<std::string> CFormatted() {
  std::vector<std::string> out;
  for (const Fixed& f : kFixed) {
    char text[400];
    snprintf(text, sizeof text, "%.*f", f.precision, f.value);
    out.push_back(text);
  }
  return out;
}

struct Read {
  double value;
  size_t length;
};
std::vector<Read> CRead() {
  std::vector<Read> out;
  for (const char* text : kTexts) {
    char* end = nullptr;
    const double value = strtod(text, &end);
    out.push_back({value, static_cast<size_t>(end - text)});
  }
  return out;
}

void ExpectSameAsC(const std::vector<std::string>& formatted, const std::vector<Read>& read,
                   const char* where) {
  for (size_t i = 0; i < std::size(kFixed); ++i) {
    EXPECT_EQ(FixedText(kFixed[i].value, kFixed[i].precision), formatted[i])
        << where << ": " << kFixed[i].value;
  }
  for (size_t i = 0; i < std::size(kTexts); ++i) {
    double value = -1.0;
    const size_t length = ReadLeadingNumber(kTexts[i], &value);
    EXPECT_EQ(length, read[i].length) << where << ": \"" << kTexts[i] << "\"";
    if (std::isnan(read[i].value)) {
      EXPECT_TRUE(std::isnan(value)) << where << ": \"" << kTexts[i] << "\"";
    } else {
      EXPECT_EQ(value, read[i].value) << where << ": \"" << kTexts[i] << "\"";
      EXPECT_EQ(std::signbit(value), std::signbit(read[i].value)) << kTexts[i];
    }
    EXPECT_EQ(std::isnan(LeadingNumber(kTexts[i])), std::isnan(read[i].value));
  }
}

TEST(NumberTextTest, WritesAndReadsAsTheCLocaleDoesUnderADecimalCommaLocaleToo) {
  const std::vector<std::string> formatted = CFormatted();
  const std::vector<Read> read = CRead();
  ExpectSameAsC(formatted, read, "C locale");

  const std::string problem = testing::UseDecimalCommaLocale();
  ASSERT_EQ(problem, "");
  char text[32];
  snprintf(text, sizeof text, "%.2f", 0.5);
  EXPECT_STREQ(text, "0,50");  // the C library now writes commas, and reads "0.5" as 0
  EXPECT_EQ(strtod("0.5", nullptr), 0.0);
  ExpectSameAsC(formatted, read, "de_DE.UTF-8");
  testing::UseCLocale();
}

TEST(NumberTextTest, FormattingCutsToTheBufferAndReadingNothingGivesZero) {
  char text[4] = {'x', 'x', 'x', 'x'};
  FormatFixed(123.456, 2, text, sizeof text);
  EXPECT_STREQ(text, "123");
  FormatFixed(1.0, 2, text, 1);
  EXPECT_STREQ(text, "");
  FormatFixed(1.0, 2, nullptr, 8);  // nothing to write into
  EXPECT_EQ(FixedText(0.5, -3), "0");
  EXPECT_EQ(FixedText(1.0 / 3.0, 99).size(), 42u);  // precision held to 40 digits
  EXPECT_EQ(LeadingNumber(nullptr), 0.0);
}

}  // namespace
}  // namespace vantor
