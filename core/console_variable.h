#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "core/name_trie.h"

// Named, typed settings and commands that the console reads, sets and calls by
// name. Every ConsoleVariable<T> handle of one name reads and writes one
// storage cell, owned by that name's record in ConsoleVariableRegistry(). The
// first registration of a name creates the record and fixes its cell; later
// handles of that name bind to it and ignore their own defaults, so a value
// restored from "cvar.ini" wins over every default in the code.

// A console command handler. It receives the argument words that followed the
// command name and returns "" on success, otherwise an error text for the
// console to show. The returned text must outlive the call (a literal).
using ConsoleFunction = const char* (*)(std::vector<std::string>* args);

// Type tags of a cell and of a handle.
constexpr int32_t kCVarInt = 1;
constexpr int32_t kCVarFloat = 2;
constexpr int32_t kCVarFunction = 5;

// The value of one console variable: its type tag and the value of that type.
// Only the member named by `type` is ever written or read.
struct CVarCell {
  int32_t type = 0;
  union {
    int32_t i;
    float f;
    ConsoleFunction fn = nullptr;
  };
};

// One registered name. Records are created on first registration, live until
// the process ends and are never freed; their cells therefore never move.
struct CVarRecord {
  std::string name;
  CVarCell cell;
  // True once a ConsoleVariable handle in the code has bound to this record;
  // false while only "cvar.ini" has named it. Decides which side's type wins
  // when the two disagree.
  bool declaredInCode = false;
  // True while the record holds the 0 of a "cvar.ini" entry whose value word
  // held no number: the first handle in the code to bind to it gives it its
  // default, as if the file had not named it.
  bool awaitsValue = false;
};

// The one registry of console variables and functions: a NameTrie whose
// leaves point at CVarRecords. Created on first use (so file-scope handles of
// any file may register during static initialisation, in any order) and
// deliberately never destroyed, so exit-time destructors of handles can never
// reach a dead registry.
NameTrie& ConsoleVariableRegistry();

// Per-type access to a cell; defined for int, float and ConsoleFunction only.
template <typename T>
struct CVarTraits;

template <>
struct CVarTraits<int> {
  static constexpr int32_t kType = kCVarInt;
  static int Get(const CVarCell& cell) { return cell.i; }
  static void Set(CVarCell* cell, int value) { cell->i = value; }
};

template <>
struct CVarTraits<float> {
  static constexpr int32_t kType = kCVarFloat;
  static float Get(const CVarCell& cell) { return cell.f; }
  static void Set(CVarCell* cell, float value) { cell->f = value; }
};

template <>
struct CVarTraits<ConsoleFunction> {
  static constexpr int32_t kType = kCVarFunction;
  static ConsoleFunction Get(const CVarCell& cell) { return cell.fn; }
  static void Set(CVarCell* cell, ConsoleFunction value) { cell->fn = value; }
};

// A handle on a named value of type T (int, float or ConsoleFunction).
//
// Type conflicts: the type declared in the code wins.
//  - A name that only "cvar.ini" has registered, with another type, is
//    converted to T on binding: int <-> float numerically (float to int rounds
//    to nearest, saturating at the int range); a number becoming a function
//    takes this handle's default handler.
//  - A name that the code already declared with another type is a
//    programming error: the handle logs one line, stays unregistered and
//    keeps its own cell with its default.
template <typename T>
class ConsoleVariable {
 public:
  // Empty name, a cell of its own holding 0 / 0.0 / no function, not
  // registered. Bind it later with Register.
  ConsoleVariable();
  // Sets the name and registers it with `defaultValue` (see Register).
  ConsoleVariable(const std::string& name, T defaultValue);
  // A registered original gives another handle on the same record; an
  // unregistered one gives a handle with its own cell holding the same value.
  ConsoleVariable(const ConsoleVariable& other);
  // Assigns the value only (the handle keeps its own binding).
  ConsoleVariable& operator=(const ConsoleVariable& other);
  // Frees the cell only when the handle owns it (not registered).
  ~ConsoleVariable();

  // Sets `name` and binds the handle to the name's record: an existing record
  // keeps its value and `defaultValue` is ignored (unless the record awaits
  // its value, see CVarRecord); a new record is created holding
  // `defaultValue`. Returns false (one log line) when the name is
  // declared in the code with another type; the handle is then unregistered
  // and holds `defaultValue` in a cell of its own.
  bool Register(const std::string& name, T defaultValue);

  // The value in the (possibly shared) cell.
  operator T() const { return CVarTraits<T>::Get(*cell); }
  // Stores the value in the cell, seen by every handle of the name.
  ConsoleVariable& operator=(T value) {
    CVarTraits<T>::Set(cell, value);
    return *this;
  }

  // The value as text: an int as "%d", a float as "%f" (six decimals, always
  // with '.' whatever the locale), a function as "".
  std::string ToString() const;

  // Stores the number that `text` begins with (leading blanks skipped), read
  // as the C library's strtol (base 10) and strtof read it: an int takes an
  // optional sign and decimal digits ("600px" gives 600, "1.5" gives 1); a
  // float a decimal or "0x" hexadecimal number ("2.5x" gives 2.5) whatever
  // the locale. Returns true when stored (zero included). Text that begins
  // with no number, an int beyond the 32-bit range and a float that is not
  // finite ("nan", "inf", "1e39") leave the value unchanged: false. A
  // function never parses: false, unchanged.
  bool FromString(const std::string& text);

  std::string name;
  int32_t type;      // CVarTraits<T>::kType
  CVarCell* cell;    // owned only while !registered
  bool registered;   // bound to the registry record of `name`
};

extern template class ConsoleVariable<int>;
extern template class ConsoleVariable<float>;
extern template class ConsoleVariable<ConsoleFunction>;

// True when `name` has a record in the registry.
bool CVarExists(const std::string& name);

// The record's value as text, by its type tag (as ConsoleVariable::ToString);
// "" for a function, an unknown tag or a null record.
std::string CVarToString(const CVarRecord* record);

// Parses `text` into the record by its type tag (as
// ConsoleVariable::FromString). False, nothing changed, for bad text, a
// function, an unknown tag or a null record.
bool CVarFromString(CVarRecord* record, const std::string& text);

// The record of `name` and its cell, or null when the name is not registered.
CVarRecord* CVarGet(const std::string& name);
CVarCell* CVarGetValuePointer(const std::string& name);

// Applies one "cvar.ini" entry: `type` is the file's tag (1 or 2) and `text`
// the value word. A new name gets a record of that type holding 0, then the
// value. An existing name keeps its type: a numeric value of the other type
// is converted into it (int to float exactly as far as float allows, float to
// int rounded to nearest and saturated); a function's record is left alone.
// Text that does not begin with a number of the file's type (FromString)
// stores nothing: an existing name keeps its value, a new name is registered
// all the same, holding 0 until a handle in the code gives it its default
// (awaitsValue), so that its line is written back. Returns true when the
// value was stored; false for other tags, functions and bad text. The record
// does not count as declared in the code.
bool CVarLoadEntry(const std::string& name, int type, const std::string& text);
