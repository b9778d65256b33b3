#pragma once

#include <cctype>
#include <cstdio>
#include <string>

// The one rule by which every name registry of the system (entities,
// characters, motions, motion controllers, graphs) keeps its names unique:
// the base name itself when it is free, else the base name followed by the
// counter 1, 2, 3 ... ("%d", no separator), always appended to the base name,
// never to an earlier candidate.
template <class Registry>
std::string MakeUniqueName(const Registry& registry, const std::string& base) {
  std::string candidate = base;
  for (int counter = 1; registry.find(candidate) != registry.end(); ++counter) {
    candidate = base + std::to_string(counter);
  }
  return candidate;
}

// The name with every byte lower-cased as tolower does in the "C" locale.
inline std::string ToLowerName(std::string name) {
  // Not std::tolower: it follows the program's current locale, which the GUI
  // toolkit may have set from the environment.
  for (char& c : name) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  }
  return name;
}
