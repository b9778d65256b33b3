#include "core/console_variable.h"

#include <charconv>
#include <cmath>
#include <system_error>

#include "core/log.h"

namespace {

bool cvar_IsBlank(char c) {
  return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\v' || c == '\f';
}

// [*first, *last): the text after leading blanks and a single leading '+',
// which from_chars does not take. False when nothing is left or a sign
// follows the '+'.
bool cvar_NumberSpan(const std::string& text, const char** first, const char** last) {
  const char* begin = text.data();
  const char* end = begin + text.size();
  while (begin < end && cvar_IsBlank(*begin)) ++begin;
  if (begin < end && *begin == '+') {
    ++begin;
    if (begin < end && (*begin == '+' || *begin == '-')) return false;
  }
  if (begin == end) return false;
  *first = begin;
  *last = end;
  return true;
}

// The number at the start of the text, as strtol reads it in base 10: "800",
// "600px" and "1.5" give 800, 600 and 1. False when the text starts with no
// number or the number is beyond the int range.
bool cvar_ParseInt(const std::string& text, int32_t* out) {
  const char* first;
  const char* last;
  if (!cvar_NumberSpan(text, &first, &last)) return false;
  int32_t value = 0;
  if (std::from_chars(first, last, value).ec != std::errc()) return false;
  *out = value;
  return true;
}

// The number at the start of the text, as strtof reads it, "0x" hexadecimal
// included, but whatever the locale: "2.5x" gives 2.5. False when the text
// starts with no number or the number is not a finite float.
bool cvar_ParseFloat(const std::string& text, float* out) {
  const char* first;
  const char* last;
  if (!cvar_NumberSpan(text, &first, &last)) return false;
  const bool negative = *first == '-';
  const char* digits = negative ? first + 1 : first;
  float value = 0.0f;
  std::from_chars_result r{first, std::errc::invalid_argument};
  if (last - digits > 2 && digits[0] == '0' && (digits[1] == 'x' || digits[1] == 'X')) {
    r = std::from_chars(digits + 2, last, value, std::chars_format::hex);
    if (negative) value = -value;
  }
  // Without hexadecimal digits "0x" reads as the 0 before the x.
  if (r.ec != std::errc()) r = std::from_chars(first, last, value, std::chars_format::general);
  if (r.ec != std::errc() || !std::isfinite(value)) return false;
  *out = value;
  return true;
}

std::string cvar_IntToString(int32_t value) {
  char buffer[16];
  const std::to_chars_result r = std::to_chars(buffer, buffer + sizeof buffer, value);
  return std::string(buffer, r.ptr);
}

// The bytes of printf "%f" (six decimals), independent of LC_NUMERIC. The
// widest float (39 integer digits, sign, point, six decimals) needs 47.
std::string cvar_FloatToString(float value) {
  char buffer[64];
  const std::to_chars_result r = std::to_chars(
      buffer, buffer + sizeof buffer, value, std::chars_format::fixed, 6);
  if (r.ec != std::errc()) return std::string();
  return std::string(buffer, r.ptr);
}

std::string cvar_CellToString(const CVarCell& cell) {
  switch (cell.type) {
    case kCVarInt:
      return cvar_IntToString(cell.i);
    case kCVarFloat:
      return cvar_FloatToString(cell.f);
    default:
      return std::string();
  }
}

bool cvar_CellFromString(CVarCell* cell, const std::string& text) {
  switch (cell->type) {
    case kCVarInt:
      return cvar_ParseInt(text, &cell->i);
    case kCVarFloat:
      return cvar_ParseFloat(text, &cell->f);
    default:
      return false;
  }
}

int32_t cvar_RoundToInt(float value) {
  if (std::isnan(value)) return 0;
  // Saturate before converting: an out-of-range conversion is undefined.
  const double rounded = std::round(static_cast<double>(value));
  if (rounded >= 2147483647.0) return INT32_MAX;
  if (rounded <= -2147483648.0) return INT32_MIN;
  return static_cast<int32_t>(rounded);
}

// Rewrites the cell as the type `to`, keeping its numeric value where both
// types are numbers. `handler` is the value a cell becoming a function takes.
void cvar_ConvertCell(CVarCell* cell, int32_t to, ConsoleFunction handler) {
  if (cell->type == to) return;
  CVarCell converted;
  converted.type = to;
  if (to == kCVarInt) {
    converted.i = cell->type == kCVarFloat ? cvar_RoundToInt(cell->f) : 0;
  } else if (to == kCVarFloat) {
    converted.f = cell->type == kCVarInt ? static_cast<float>(cell->i) : 0.0f;
  } else {
    converted.fn = handler;
  }
  *cell = converted;
}

template <typename T>
ConsoleFunction cvar_HandlerOf(T) {
  return nullptr;
}

template <>
ConsoleFunction cvar_HandlerOf<ConsoleFunction>(ConsoleFunction value) {
  return value;
}

CVarRecord* cvar_NewRecord(const std::string& name, const CVarCell& cell, bool declaredInCode) {
  CVarRecord* record = new CVarRecord;
  record->name = name;
  record->cell = cell;
  record->declaredInCode = declaredInCode;
  ConsoleVariableRegistry().Insert(name, record);
  return record;
}

}  // namespace

NameTrie& ConsoleVariableRegistry() {
  // Never destroyed; see the header.
  static NameTrie* const registry = new NameTrie;
  return *registry;
}

template <typename T>
ConsoleVariable<T>::ConsoleVariable()
    : type(CVarTraits<T>::kType), cell(new CVarCell), registered(false) {
  cell->type = CVarTraits<T>::kType;
  CVarTraits<T>::Set(cell, T());
}

template <typename T>
ConsoleVariable<T>::ConsoleVariable(const std::string& name, T defaultValue)
    : ConsoleVariable() {
  Register(name, defaultValue);
}

template <typename T>
ConsoleVariable<T>::ConsoleVariable(const ConsoleVariable& other)
    : name(other.name),
      type(other.type),
      cell(other.registered ? other.cell : new CVarCell(*other.cell)),
      registered(other.registered) {}

template <typename T>
ConsoleVariable<T>& ConsoleVariable<T>::operator=(const ConsoleVariable& other) {
  return *this = static_cast<T>(other);
}

template <typename T>
ConsoleVariable<T>::~ConsoleVariable() {
  if (!registered) delete cell;
}

template <typename T>
bool ConsoleVariable<T>::Register(const std::string& newName, T defaultValue) {
  constexpr int32_t kType = CVarTraits<T>::kType;
  name = newName;
  CVarRecord* record = CVarGet(newName);
  if (record != nullptr && record->cell.type != kType) {
    if (record->declaredInCode) {
      LogPrintf("ConsoleVariable: \"%s\" is declared with type %d; a handle of type %d "
                "keeps its own value",
                newName.c_str(), static_cast<int>(record->cell.type), static_cast<int>(kType));
      if (registered) cell = new CVarCell;
      registered = false;
      cell->type = kType;
      CVarTraits<T>::Set(cell, defaultValue);
      return false;
    }
    cvar_ConvertCell(&record->cell, kType, cvar_HandlerOf<T>(defaultValue));
  }
  if (record != nullptr && record->awaitsValue) {
    CVarTraits<T>::Set(&record->cell, defaultValue);
    record->awaitsValue = false;
  }
  if (record == nullptr) {
    CVarCell initial;
    initial.type = kType;
    CVarTraits<T>::Set(&initial, defaultValue);
    record = cvar_NewRecord(newName, initial, true);
  }
  record->declaredInCode = true;
  if (!registered) delete cell;
  cell = &record->cell;
  type = record->cell.type;
  registered = true;
  return true;
}

template <typename T>
std::string ConsoleVariable<T>::ToString() const {
  return cvar_CellToString(*cell);
}

template <typename T>
bool ConsoleVariable<T>::FromString(const std::string& text) {
  return cvar_CellFromString(cell, text);
}

template class ConsoleVariable<int>;
template class ConsoleVariable<float>;
template class ConsoleVariable<ConsoleFunction>;

bool CVarExists(const std::string& name) {
  return ConsoleVariableRegistry().FindLeaf(name) != nullptr;
}

std::string CVarToString(const CVarRecord* record) {
  return record == nullptr ? std::string() : cvar_CellToString(record->cell);
}

bool CVarFromString(CVarRecord* record, const std::string& text) {
  if (record == nullptr || !cvar_CellFromString(&record->cell, text)) return false;
  record->awaitsValue = false;
  return true;
}

CVarRecord* CVarGet(const std::string& name) {
  TrieNode* leaf = ConsoleVariableRegistry().FindLeaf(name);
  return leaf == nullptr ? nullptr : leaf->value;
}

CVarCell* CVarGetValuePointer(const std::string& name) {
  CVarRecord* record = CVarGet(name);
  return record == nullptr ? nullptr : &record->cell;
}

bool CVarLoadEntry(const std::string& name, int type, const std::string& text) {
  if (type != kCVarInt && type != kCVarFloat) return false;
  // Parse as the file's type, then convert into the record's; text without a
  // number stores no value, but a new name is still registered (holding 0
  // until the code gives it its default), so that its line is saved again.
  CVarCell parsed;
  parsed.type = type;
  const bool isNumber = cvar_CellFromString(&parsed, text);
  CVarRecord* record = CVarGet(name);
  if (record == nullptr) {
    CVarCell zero;
    zero.type = type;
    if (type == kCVarInt) {
      zero.i = 0;
    } else {
      zero.f = 0.0f;
    }
    record = cvar_NewRecord(name, zero, false);
    record->awaitsValue = !isNumber;
  }
  if (!isNumber) return false;
  if (record->cell.type != kCVarInt && record->cell.type != kCVarFloat) return false;
  cvar_ConvertCell(&parsed, record->cell.type, nullptr);
  record->cell = parsed;
  record->awaitsValue = false;
  return true;
}
