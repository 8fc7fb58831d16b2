#include "tools/pe/manifest_level.h"

#include "tools/report_failure.h"

namespace {

const char* const kLevels[] = {"asInvoker", "highestAvailable", "requireAdministrator"};
const char* const kElement = "requestedExecutionLevel";

bool IsNameCharacter(char c) {
  return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_' || c == '-' ||
         c == '.' || c == ':';
}

bool IsSpace(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }

size_t SkipSpaces(const std::string& xml, size_t p) {
  while (p < xml.size() && IsSpace(xml[p])) ++p;
  return p;
}

std::string Lowered(std::string text) {
  for (char& c : text)
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  return text;
}

// The level attribute's value inside the element's tag that starts at `p`
// (behind the element name); false when the tag has none or is malformed.
bool FindLevelAttribute(const std::string& xml, size_t p, size_t* start, size_t* length) {
  while (true) {
    p = SkipSpaces(xml, p);
    size_t nameStart = p;
    while (p < xml.size() && IsNameCharacter(xml[p])) ++p;
    if (p == nameStart) return false;  // '>', '/>', the end, or something no tag holds
    std::string name = xml.substr(nameStart, p - nameStart);
    p = SkipSpaces(xml, p);
    if (p >= xml.size() || xml[p] != '=') return false;
    p = SkipSpaces(xml, p + 1);
    if (p >= xml.size() || (xml[p] != '"' && xml[p] != '\'')) return false;
    size_t close = xml.find(xml[p], p + 1);
    if (close == std::string::npos) return false;
    if (name == "level") {
      *start = p + 1;
      *length = close - p - 1;
      return true;
    }
    p = close + 1;
  }
}

// The first requestedExecutionLevel element outside comments (with any
// namespace prefix), and its level attribute's value.
bool FindLevel(const std::string& xml, size_t* start, size_t* length) {
  for (size_t i = xml.find('<'); i != std::string::npos; i = xml.find('<', i + 1)) {
    if (xml.compare(i, 4, "<!--") == 0) {
      size_t end = xml.find("-->", i + 4);
      if (end == std::string::npos) return false;
      i = end + 2;
      continue;
    }
    size_t nameEnd = i + 1;
    while (nameEnd < xml.size() && IsNameCharacter(xml[nameEnd])) ++nameEnd;
    std::string name = xml.substr(i + 1, nameEnd - i - 1);
    size_t colon = name.rfind(':');
    if (name.substr(colon == std::string::npos ? 0 : colon + 1) == kElement)
      return FindLevelAttribute(xml, nameEnd, start, length);
  }
  return false;
}

}  // namespace

std::string CanonicalExecutionLevel(const std::string& text) {
  for (const char* level : kLevels)
    if (Lowered(text) == Lowered(level)) return level;
  return std::string();
}

std::string ReadExecutionLevel(const std::string& manifest) {
  size_t start = 0, length = 0;
  return FindLevel(manifest, &start, &length) ? manifest.substr(start, length) : std::string();
}

bool SetExecutionLevel(const std::string& manifest, const std::string& level, std::string* changed,
                       std::string* error) {
  size_t start = 0, length = 0;
  if (!FindLevel(manifest, &start, &length))
    return Fail(error, "its manifest has no requestedExecutionLevel element with a level to change");
  *changed = manifest.substr(0, start) + level + manifest.substr(start + length);
  return true;
}
