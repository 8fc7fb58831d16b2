#include "tools/cli/name_check.h"

#include <cstdio>
#include <cstring>

#include "tools/cli/host_platform.h"
#include "tools/cli/name_case.h"
#include "tools/entry_name_rules.h"

const char* const kTypicalDestination = "C:\\Users\\12345678901234567890\\AppData\\Local\\Temp\\";

size_t LongestSafeEntryName() { return kLongestOutputPath - std::strlen(kTypicalDestination); }

namespace {

// Length of the UTF-8 sequence starting with `lead`; 0 for a byte that cannot start one.
size_t SequenceLength(unsigned char lead) {
  if (lead < 0x80) return 1;
  if (lead >= 0xC2 && lead <= 0xDF) return 2;
  if (lead >= 0xE0 && lead <= 0xEF) return 3;
  if (lead >= 0xF0 && lead <= 0xF4) return 4;
  return 0;
}

std::string Describe(const std::string& character) {
  uint32_t code = static_cast<unsigned char>(character[0]);
  if (character.size() > 1) {
    code &= 0x7Fu >> character.size();
    for (size_t i = 1; i < character.size(); ++i) code = code << 6 | (static_cast<unsigned char>(character[i]) & 0x3Fu);
  }
  char text[16];
  std::snprintf(text, sizeof text, "U+%04X", static_cast<unsigned>(code));
  return "'" + character + "' (" + text + ")";
}

// Finds the first character that does not survive the round trip and says how.
std::string RoundTripProblem(const std::string& utf8) {
  for (size_t i = 0; i < utf8.size();) {
    size_t length = SequenceLength(static_cast<unsigned char>(utf8[i]));
    if (length == 0 || i + length > utf8.size()) return "the name is not valid UTF-8";
    std::string character = utf8.substr(i, length);
    std::string cp932, back;
    if (!Utf8ToCp932(character, &cp932) || !Cp932ToUtf8(cp932, &back))
      return Describe(character) + " has no code page 932 (Shift-JIS) form";
    if (back != character)
      return Describe(character) + " would become " + Describe(back) + " in code page 932 (Shift-JIS)";
    i += length;
  }
  return "the name does not convert to code page 932 (Shift-JIS)";
}

}  // namespace

std::string ExactCp932(const std::string& utf8, std::string* cp932) {
  std::string back;
  if (Utf8ToCp932(utf8, cp932) && Cp932ToUtf8(*cp932, &back) && back == utf8) return std::string();
  return RoundTripProblem(utf8);
}

std::vector<std::string> EntryNameProblems(const std::vector<NamedInput>& inputs,
                                           std::vector<std::string>* cp932Names) {
  std::vector<std::string> problems;
  cp932Names->assign(inputs.size(), std::string());
  std::vector<bool> bad(inputs.size(), false);
  for (size_t i = 0; i < inputs.size(); ++i) {
    std::string problem = ExactCp932(inputs[i].name, &(*cp932Names)[i]);
    if (problem.empty()) problem = EntryNameProblem((*cp932Names)[i]);
    if (problem.empty()) continue;
    problems.push_back("'" + inputs[i].label + "': " + problem);
    bad[i] = true;
  }
  // Compared as Windows compares them: every letter's case, not only ASCII's.
  std::vector<std::string> keys;
  for (const NamedInput& input : inputs) keys.push_back(CaseFoldedName(input.name));
  for (const NameClash& clash : AllNameClashes(keys, nullptr))
    if (!bad[clash.index])
      problems.push_back("'" + inputs[clash.index].label + "': " + clash.problem + " ('" + inputs[clash.other].label +
                         "')");
  return problems;
}
