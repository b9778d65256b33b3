#include "core/console_variable.h"

#include <gtest/gtest.h>

#include <cfloat>
#include <climits>
#include <cmath>
#include <string>
#include <tuple>
#include <utility>
#include <vector>

#include "tests/support/temp_dir.h"

namespace {

const char* Handler(std::vector<std::string>*) { return ""; }

// Each accepted text gives its value; each refused one leaves the value as it was.
template <typename T>
void ExpectParses(const std::vector<std::pair<const char*, T>>& accepted, const std::vector<const char*>& refused) {
  ConsoleVariable<T> v("t.parsed", T(123));
  for (const auto& [text, value] : accepted) {
    v = T(123);
    EXPECT_TRUE(v.FromString(text) && static_cast<T>(v) == value) << text << " " << static_cast<T>(v);
  }
  v = T(123);
  for (const char* text : refused) EXPECT_FALSE(v.FromString(text) || static_cast<T>(v) != T(123)) << text;
}

TEST(ConsoleVariable, FromStringTakesTheNumberTheTextBeginsWith) {
  ExpectParses<int>({{" -7\t", -7}, {"+05", 5}, {"0", 0}, {"2147483647", INT_MAX}, {"-2147483648", INT_MIN},
                     {"800.0", 800}, {"600px", 600}, {"1.5", 1}, {"4 2", 4}, {"0x10", 0}},
                    {"", " ", "abc", "px600", "+-5", "-", "2147483648"});
  ExpectParses<float>({{"3", 3.0f}, {"-1e-3", -0.001f}, {" +.25\r\n", 0.25f}, {"1.5x", 1.5f}, {"1,5", 1.0f},
                       {"2e", 2.0f}, {"-0x1p3", -8.0f}, {"0xg", 0.0f}},
                      {"", "x1", "nan", "inf", "-inf", "1e39", "+-1", ".", "-"});
}

TEST(ConsoleVariable, ToStringGivesTheBytesOfPrintf) {
  ConsoleVariable<float> f("t.f", 0.5f);
  // Every k / 2^7 has a 7th decimal of 5 exactly: a tie at six decimals.
  std::vector<float> values = {-0.0f, 1.0f / 3.0f, 16777217.0f, FLT_MAX, -FLT_MAX, 5e-7f, 1e-45f, 0.9999995f, INFINITY};
  for (int k = -300; k <= 300; ++k) values.push_back(static_cast<float>(k) / 128.0f);
  for (float value : values) {
    f = value;
    EXPECT_EQ(f.ToString(), std::to_string(value)) << value;  // printf "%f"
  }
}

// Between "cvar.ini" and the code the code's type wins and the value
// converts; float to int rounds to nearest (halves away from zero) and
// saturates. A console command takes no number and keeps the code's handler.
TEST(ConsoleVariable, FileEntriesConvertIntoTheCodesType) {
  // File first, code later.
  for (const auto& [name, type, text] : {std::tuple{"t.farclip", kCVarInt, "80"}, {"t.steps", kCVarFloat, "2.5"},
                                         {"t.neg", kCVarFloat, "-2.5"}, {"t.huge", kCVarFloat, "1e20"},
                                         {"help", kCVarInt, "3"}}) {
    EXPECT_TRUE(CVarLoadEntry(name, type, text)) << name;
  }
  EXPECT_EQ(static_cast<float>(ConsoleVariable<float>("t.farclip", 50.0f)), 80.0f);
  EXPECT_TRUE(CVarGet("t.farclip")->cell.type == kCVarFloat && CVarGet("t.farclip")->declaredInCode);
  EXPECT_EQ(std::make_tuple(static_cast<int>(ConsoleVariable<int>("t.steps", 0)),
                            static_cast<int>(ConsoleVariable<int>("t.neg", 0)),
                            static_cast<int>(ConsoleVariable<int>("t.huge", 0))),
            std::make_tuple(3, -3, INT_MAX));
  ConsoleVariable<ConsoleFunction> help("help", Handler);
  EXPECT_EQ(CVarGet("help")->cell.fn, &Handler);
  // Code first, file later.
  ConsoleVariable<int> width("t.width", 640);
  EXPECT_TRUE(CVarLoadEntry("t.width", kCVarFloat, "799.6") && CVarLoadEntry("t.farclip", kCVarInt, "2.5"));
  EXPECT_EQ(std::make_pair(static_cast<int>(width), CVarGet("t.farclip")->cell.f), std::make_pair(800, 2.0f));
  EXPECT_FALSE(CVarLoadEntry("help", kCVarInt, "3") || help.FromString("1"));
}

TEST(ConsoleVariable, SecondCodeDeclarationOfAnotherTypeStaysApart) {
  ConsoleVariable<int> first("t.mode", 4);
  ConsoleVariable<float> second("t.mode", 1.5f);
  EXPECT_FALSE(second.registered);
  second = 2.5f;
  EXPECT_EQ(CVarGet("t.mode")->cell.type, kCVarInt);
  EXPECT_EQ(static_cast<int>(first), 4);
  EXPECT_NE(testing_support::ReadFile("log.txt").find("ConsoleVariable: \"t.mode\""), std::string::npos);
}

}  // namespace
