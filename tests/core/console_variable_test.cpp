#include "core/console_variable.h"

#include <gtest/gtest.h>

#include <cfloat>
#include <climits>
#include <cmath>
#include <cstdio>
#include <string>
#include <vector>

#include "tests/support/temp_dir.h"

namespace {

std::vector<std::string> g_lastArgs;

const char* RecordArgs(std::vector<std::string>* args) {
  g_lastArgs = *args;
  return "";
}

const char* OtherHandler(std::vector<std::string>*) { return "other"; }

std::string PrintfF(float value) {
  char buffer[128];
  std::snprintf(buffer, sizeof buffer, "%f", static_cast<double>(value));
  return buffer;
}

TEST(ConsoleVariable, HandlesOfOneNameShareTheFirstRegisteredCell) {
  ConsoleVariable<float> first("t.far", 50.0f);
  {
    ConsoleVariable<float> second("t.far", 10.0f);
    EXPECT_EQ(static_cast<float>(second), 50.0f);  // its default is ignored
    second = 80.0f;
    EXPECT_EQ(static_cast<float>(first), 80.0f);
  }
  // The record's cell outlives the handle that wrote it.
  EXPECT_EQ(static_cast<float>(first), 80.0f);
  EXPECT_EQ(CVarGetValuePointer("t.far"), first.cell);

  // A member-style handle: unregistered until Register, then bound.
  ConsoleVariable<int> member;
  EXPECT_FALSE(member.registered);
  EXPECT_FALSE(CVarExists("t.count"));
  EXPECT_TRUE(member.Register("t.count", 7));
  ConsoleVariable<int> local("t.count", 1);
  EXPECT_EQ(static_cast<int>(local), 7);
  local = 9;
  EXPECT_EQ(static_cast<int>(member), 9);

  // Copies: of a registered handle share the record, of an unregistered one
  // get their own cell.
  ConsoleVariable<float> copy(first);
  copy = 1.5f;
  EXPECT_EQ(static_cast<float>(first), 1.5f);
  ConsoleVariable<int> loose;
  loose = 5;
  ConsoleVariable<int> looseCopy(loose);
  looseCopy = 6;
  EXPECT_EQ(static_cast<int>(loose), 5);
}

TEST(ConsoleVariable, FunctionsAreCalledThroughTheirRecord) {
  ConsoleVariable<ConsoleFunction> command("t.run", RecordArgs);
  CVarRecord* record = CVarGet("t.run");
  ASSERT_NE(record, nullptr);
  EXPECT_EQ(record->cell.type, kCVarFunction);
  std::vector<std::string> args{"1", "root"};
  EXPECT_STREQ(record->cell.fn(&args), "");
  EXPECT_EQ(g_lastArgs, args);

  EXPECT_EQ(CVarToString(record), "");
  EXPECT_FALSE(command.FromString("1"));
  EXPECT_FALSE(CVarFromString(record, "1"));
  EXPECT_EQ(record->cell.fn, &RecordArgs);
}

TEST(ConsoleVariable, FromStringTakesOnlyWholeNumbersOfItsType) {
  ConsoleVariable<int> i("t.i", 0);
  ConsoleVariable<float> f("t.f", 0.0f);
  struct IntCase { const char* text; int value; };
  for (const IntCase& c : {IntCase{"42", 42}, IntCase{" -7\t", -7}, IntCase{"+5", 5},
                           IntCase{"0", 0}, IntCase{"2147483647", INT_MAX},
                           IntCase{"-2147483648", INT_MIN}, IntCase{"007", 7}}) {
    i = 123;
    EXPECT_TRUE(i.FromString(c.text)) << c.text;
    EXPECT_EQ(static_cast<int>(i), c.value) << c.text;
  }
  for (const char* bad : {"", "  ", "abc", "1.5", "12x", "4 2", "+-5", "--5", "0x10",
                          "2147483648", "-2147483649", "1e3"}) {
    i = 123;
    EXPECT_FALSE(i.FromString(bad)) << bad;
    EXPECT_EQ(static_cast<int>(i), 123) << bad;
  }
  struct FloatCase { const char* text; float value; };
  for (const FloatCase& c : {FloatCase{"3", 3.0f}, FloatCase{"2.5", 2.5f},
                             FloatCase{"-1e-3", -0.001f}, FloatCase{"0", 0.0f},
                             FloatCase{"0.0", 0.0f}, FloatCase{" +.25\r\n", 0.25f},
                             FloatCase{"80.000000", 80.0f}}) {
    f = 123.0f;
    EXPECT_TRUE(f.FromString(c.text)) << c.text;
    EXPECT_EQ(static_cast<float>(f), c.value) << c.text;
  }
  for (const char* bad : {"", "abc", "1.5x", "nan", "inf", "-inf", "infinity", "1e39",
                          "1,5", "0x1p3", "--1", "+-1", "1 2", "."}) {
    f = 123.0f;
    EXPECT_FALSE(f.FromString(bad)) << bad;
    EXPECT_EQ(static_cast<float>(f), 123.0f) << bad;
  }
  // The record functions apply the same rules by the record's tag.
  EXPECT_TRUE(CVarFromString(CVarGet("t.f"), "0"));
  EXPECT_EQ(static_cast<float>(f), 0.0f);
  EXPECT_FALSE(CVarFromString(CVarGet("t.i"), "x"));
}

TEST(ConsoleVariable, ToStringGivesTheBytesOfPrintf) {
  ConsoleVariable<float> f("t.f", 0.5f);
  EXPECT_EQ(CVarToString(CVarGet("t.f")), "0.500000");
  const float values[] = {
      0.0f, -0.0f, 0.1f, 0.5f, 1.0f / 3.0f, -2.75f, 50.0f, 123456.789f, 16777217.0f,
      1e10f, 3e38f, FLT_MAX, -FLT_MAX, 1e-7f, 4.9e-7f, 5e-7f, 5.1e-7f, -5e-7f, FLT_MIN,
      1e-45f, 0.0078125f, 0.0234375f, 0.0390625f, -0.0078125f, 2.5000005f, 0.9999995f,
      999999.94f, INFINITY, -INFINITY};
  for (float value : values) {
    f = value;
    EXPECT_EQ(f.ToString(), PrintfF(value)) << value;
  }
  // Every k / 2^7 has a 7th decimal of 5 exactly: a tie at six decimals.
  for (int k = -300; k <= 300; ++k) {
    f = static_cast<float>(k) / 128.0f;
    EXPECT_EQ(f.ToString(), PrintfF(static_cast<float>(f)));
  }
  ConsoleVariable<int> i("t.i", 42);
  EXPECT_EQ(CVarToString(CVarGet("t.i")), "42");
  for (int value : {0, -1, INT_MAX, INT_MIN}) {
    i = value;
    EXPECT_EQ(i.ToString(), std::to_string(value));
  }
}

// "cvar.ini" first, code later: the code's type wins and the value converts.
TEST(ConsoleVariable, CodeDeclarationConvertsARecordMadeByTheFile) {
  EXPECT_TRUE(CVarLoadEntry("t.farclip", kCVarInt, "80"));
  EXPECT_TRUE(CVarLoadEntry("t.steps", kCVarFloat, "2.5"));
  EXPECT_TRUE(CVarLoadEntry("t.neg", kCVarFloat, "-2.5"));
  EXPECT_TRUE(CVarLoadEntry("t.huge", kCVarFloat, "1e20"));
  EXPECT_TRUE(CVarLoadEntry("help", kCVarInt, "3"));

  ConsoleVariable<float> farclip("t.farclip", 50.0f);
  EXPECT_TRUE(farclip.registered);
  EXPECT_EQ(static_cast<float>(farclip), 80.0f);
  EXPECT_EQ(CVarGet("t.farclip")->cell.type, kCVarFloat);
  EXPECT_TRUE(CVarGet("t.farclip")->declaredInCode);
  // Float to int rounds to nearest (halves away from zero) and saturates.
  EXPECT_EQ(static_cast<int>(ConsoleVariable<int>("t.steps", 0)), 3);
  EXPECT_EQ(static_cast<int>(ConsoleVariable<int>("t.neg", 0)), -3);
  EXPECT_EQ(static_cast<int>(ConsoleVariable<int>("t.huge", 0)), INT_MAX);
  // A number cannot become a handler: the command keeps the code's handler.
  ConsoleVariable<ConsoleFunction> help("help", OtherHandler);
  EXPECT_EQ(CVarGet("help")->cell.type, kCVarFunction);
  EXPECT_EQ(CVarGet("help")->cell.fn, &OtherHandler);
}

// Code first, "cvar.ini" later: the file's value converts into the code's type.
TEST(ConsoleVariable, FileEntryConvertsIntoTheDeclaredType) {
  ConsoleVariable<float> farclip("t.farclip", 50.0f);
  ConsoleVariable<int> width("t.width", 640);
  ConsoleVariable<ConsoleFunction> help("help", RecordArgs);

  EXPECT_TRUE(CVarLoadEntry("t.farclip", kCVarInt, "80"));
  EXPECT_EQ(static_cast<float>(farclip), 80.0f);
  EXPECT_TRUE(CVarLoadEntry("t.width", kCVarFloat, "799.6"));
  EXPECT_EQ(static_cast<int>(width), 800);
  EXPECT_FALSE(CVarLoadEntry("t.width", kCVarInt, "wide"));
  EXPECT_EQ(static_cast<int>(width), 800);
  EXPECT_FALSE(CVarLoadEntry("t.farclip", kCVarInt, "2.5"));  // not an int
  EXPECT_EQ(static_cast<float>(farclip), 80.0f);
  EXPECT_FALSE(CVarLoadEntry("help", kCVarInt, "3"));
  EXPECT_EQ(CVarGet("help")->cell.type, kCVarFunction);
  EXPECT_EQ(static_cast<ConsoleFunction>(help), &RecordArgs);
  EXPECT_FALSE(CVarLoadEntry("t.seven", 7, "1"));
  EXPECT_FALSE(CVarExists("t.seven"));
  // A new name with a bad value still gets its record, holding 0.
  EXPECT_FALSE(CVarLoadEntry("t.fresh", kCVarFloat, "x"));
  ASSERT_NE(CVarGet("t.fresh"), nullptr);
  EXPECT_EQ(CVarGet("t.fresh")->cell.f, 0.0f);
  EXPECT_FALSE(CVarGet("t.fresh")->declaredInCode);
}

TEST(ConsoleVariable, SecondCodeDeclarationOfAnotherTypeStaysApart) {
  testing_support::ScopedWorkDir dir;  // "log.txt" goes here
  ConsoleVariable<int> first("t.mode", 4);
  ConsoleVariable<float> second("t.mode", 1.5f);
  EXPECT_FALSE(second.registered);
  EXPECT_EQ(static_cast<float>(second), 1.5f);
  second = 2.5f;
  EXPECT_EQ(static_cast<int>(first), 4);
  EXPECT_EQ(CVarGet("t.mode")->cell.type, kCVarInt);
  EXPECT_NE(testing_support::ReadFile(dir.File("log.txt")).find("ConsoleVariable: \"t.mode\""),
            std::string::npos);

  // A bound handle re-registered under a conflicting name gets a cell of its
  // own rather than writing into the record it left.
  ConsoleVariable<float> moved("t.other", 3.0f);
  EXPECT_FALSE(moved.Register("t.mode", 6.0f));
  moved = 7.0f;
  EXPECT_EQ(CVarGet("t.other")->cell.f, 3.0f);
  EXPECT_EQ(static_cast<int>(first), 4);
}

}  // namespace
