// Line editing, history, Tab completion and the command parser of GLConsole.
#include <climits>
#include <string>
#include <vector>

#include "console/gl_console.h"
#include "core/console_variable.h"
#include "core/log.h"
#include "core/name_trie.h"

namespace {

constexpr char kParserBadAssignment[] = "Syntax Error: invalid assignment ('help' for help)";
constexpr char kParserBadFunction[] = "Syntax Error: invalid function name ('help' for help)";
constexpr char kParserBadCommand[] = "Syntax Error: invalid command/function ('help' for help)";

bool parser_IsFunction(const CVarRecord* record) {
  return record != nullptr && record->cell.type == kCVarFunction;
}

}  // namespace

void GLConsole::KeyPress(char c) {
  switch (c) {
    case '\r':
      ProcessCommandLine();
      currentLine.clear();
      historyIndex = 0;
      scrollPixels = 0;
      return;
    case '\t':
      TabComplete();
      return;
    case '\b':
      if (!currentLine.empty()) currentLine.pop_back();
      return;
    default:
      if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
      currentLine += c;
      historyIndex = 0;
      scrollPixels = 0;
      return;
  }
}

std::string GLConsole::GetHistory(int n) const {
  if (n <= 0) return currentLine;
  int seen = 0;
  for (const ConsoleLine& line : lines) {
    if ((line.flags & kConsoleLineHistory) && ++seen == n) return line.text;
  }
  return currentLine;
}

void GLConsole::HistoryUp() {
  if (historyIndex < 1) savedLine = currentLine;
  // The index has no meaningful upper bound; it only must not overflow.
  if (historyIndex < INT_MAX) historyIndex += 1;
  currentLine = GetHistory(historyIndex);
}

void GLConsole::HistoryDown() {
  if (historyIndex <= 0) return;
  historyIndex -= 1;
  currentLine = historyIndex > 0 ? GetHistory(historyIndex) : savedLine;
}

void GLConsole::TabComplete() {
  NameTrie& registry = ConsoleVariableRegistry();
  TrieNode* node = registry.Find(currentLine);
  if (node == nullptr || node->kind == TrieNode::kLeaf || node->children.empty()) return;
  const std::vector<TrieNode*> leaves = registry.GetLeaves(node);
  if (leaves.empty()) return;
  if (leaves.size() == 1) {
    currentLine = leaves[0]->key;
    return;
  }

  std::string variables;
  std::string functions;
  for (const TrieNode* leaf : leaves) {
    std::string& list = parser_IsFunction(leaf->value) ? functions : variables;
    list += leaf->key;
    list += ' ';
  }
  if (!variables.empty() && !functions.empty()) {
    Print("Suggestions: " + variables, kConsoleLineOutput);
    Print(functions, kConsoleLineHighlight);
  } else if (!variables.empty()) {
    Print("Suggestions: " + variables, kConsoleLineOutput);
  } else {
    Print("Suggestions: " + functions, kConsoleLineHighlight);
  }

  // Every name below a node with a single child shares that child's
  // character, so the line can grow by one for each such step.
  size_t n = currentLine.size();
  while (node->children.size() == 1 && node->children[0]->kind != TrieNode::kLeaf) {
    node = node->children[0].get();
    n += 1;
  }
  currentLine = leaves[0]->key.substr(0, n);
}

void GLConsole::ExecuteFunction(CVarRecord* fn) {
  if (fn == nullptr) return;
  std::vector<std::string> args;
  const size_t firstBlank = currentLine.find(' ');
  if (firstBlank != std::string::npos) {
    size_t start = firstBlank + 1;
    while (start < currentLine.size()) {
      const size_t blank = currentLine.find(' ', start);
      if (blank == std::string::npos) {
        args.push_back(currentLine.substr(start));
        break;
      }
      args.push_back(currentLine.substr(start, blank - start));
      start = blank + 1;
    }
  }

  const std::string name = fn->name;
  const char* result = nullptr;
  if (!parser_IsFunction(fn)) {
    result = "not a console function";
  } else if (fn->cell.fn == nullptr) {
    result = "no handler is registered";
  } else {
    result = fn->cell.fn(&args);
  }
  if (result != nullptr && result[0] != '\0') {
    Print("Function '" + name + "' Error: " + result, kConsoleLineError);
  }
}

void GLConsole::ProcessCommandLine() {
  Print(currentLine, kConsoleLineHistory | kConsoleLineHidden);

  // The whole line names a variable or a function.
  if (CVarRecord* record = CVarGet(currentLine)) {
    if (parser_IsFunction(record)) {
      ExecuteFunction(record);
    } else {
      Print(currentLine + ": " + CVarToString(record), kConsoleLineOutput);
    }
    return;
  }

  // "name = value": the first word on each side of the first '='.
  const size_t equals = currentLine.find('=');
  if (equals != std::string::npos) {
    const std::string command = FirstWord(currentLine.substr(0, equals));
    const std::string value = FirstWord(currentLine.substr(equals + 1));
    CVarRecord* record = CVarGet(command);
    if (record != nullptr && CVarFromString(record, value)) {
      Print(command + ": " + CVarToString(record), kConsoleLineOutput);
    } else {
      Print(kParserBadAssignment, kConsoleLineError);
    }
    return;
  }

  // "function args...": the text before the first blank names the function
  // (a leading blank names the empty function, which never exists).
  const size_t blank = currentLine.find(' ');
  if (blank != std::string::npos) {
    CVarRecord* record = CVarGet(currentLine.substr(0, blank));
    if (parser_IsFunction(record)) {
      ExecuteFunction(record);
    } else {
      Print(kParserBadFunction, kConsoleLineError);
    }
    return;
  }

  Print(kParserBadCommand, kConsoleLineError);
}
