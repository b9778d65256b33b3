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

TEST(ConsoleVariable, HandlesOfOneNameShareTheFirstRegisteredCell) {
  ConsoleVariable<float> first("t.far", 50.0f);
  EXPECT_EQ(static_cast<float>(ConsoleVariable<float>("t.far", 10.0f)), 50.0f);  // a later default is ignored
  ConsoleVariable<float>("t.far", 10.0f) = 80.0f;  // the cell outlives the handle that wrote it
  EXPECT_EQ(static_cast<float>(first), 80.0f);
  // A member-style handle is bound by Register; a copy of a registered handle
  // shares its record, a copy of an unregistered one gets a cell of its own.
  ConsoleVariable<int> member, loose;
  EXPECT_TRUE(member.Register("t.count", 7));
  ConsoleVariable<int>("t.count", 1) = 9;
  ConsoleVariable<float>{first} = 1.5f;
  loose = 5;
  ConsoleVariable<int>{loose} = 6;
  EXPECT_EQ(std::make_tuple(static_cast<int>(member), static_cast<float>(first), static_cast<int>(loose)),
            std::make_tuple(9, 1.5f, 5));
}

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
  ConsoleVariable<int> i("t.i", 0);  // the record functions apply the same rules by the record's tag
  EXPECT_TRUE(CVarFromString(CVarGet("t.i"), "2.5"));
  EXPECT_EQ(static_cast<int>(i), 2);
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
  ConsoleVariable<int> i("t.i", INT_MIN);  // the record function prints by the record's tag
  EXPECT_EQ(CVarToString(CVarGet("t.f")) + CVarToString(CVarGet("t.i")), "2.343750-2147483648");
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
  EXPECT_EQ(CVarGet("help")->cell.fn, &Handler);
  EXPECT_EQ(CVarToString(CVarGet("help")), "");
  // A new name of a bad type changes nothing; with a value that is no number
  // it is registered at 0, awaiting a value; a good value gives it a record
  // that no code has declared.
  EXPECT_FALSE(CVarLoadEntry("t.seven", 7, "1") || CVarLoadEntry("t.fresh", kCVarFloat, "x"));
  EXPECT_FALSE(CVarExists("t.seven"));
  EXPECT_TRUE(CVarGet("t.fresh")->awaitsValue && CVarGet("t.fresh")->cell.f == 0.0f);
  EXPECT_TRUE(CVarLoadEntry("t.fresh", kCVarFloat, "0.5"));
  EXPECT_FALSE(CVarGet("t.fresh")->declaredInCode || CVarGet("t.fresh")->awaitsValue);
}

TEST(ConsoleVariable, SecondCodeDeclarationOfAnotherTypeStaysApart) {
  ConsoleVariable<int> first("t.mode", 4);
  ConsoleVariable<float> second("t.mode", 1.5f);
  EXPECT_FALSE(second.registered);
  second = 2.5f;
  EXPECT_EQ(CVarGet("t.mode")->cell.type, kCVarInt);
  EXPECT_NE(testing_support::ReadFile("log.txt").find("ConsoleVariable: \"t.mode\""), std::string::npos);
  // A bound handle re-registered under a conflicting name gets a cell of its
  // own rather than writing into the record it left.
  ConsoleVariable<float> moved("t.other", 3.0f);
  EXPECT_FALSE(moved.Register("t.mode", 6.0f));
  moved = 7.0f;
  EXPECT_EQ(std::make_pair(CVarGet("t.other")->cell.f, static_cast<int>(first)), std::make_pair(3.0f, 4));
}

}  // namespace
