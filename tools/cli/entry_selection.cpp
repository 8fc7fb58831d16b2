#include "tools/cli/entry_selection.h"

#include "tools/cli/name_case.h"

namespace {

// '\' between folders, no leading ".\" or '\', no trailing '\'.
std::string Normalized(std::string name) {
  for (char& c : name)
    if (c == '/') c = '\\';
  while (name.rfind(".\\", 0) == 0) name.erase(0, 2);
  while (!name.empty() && name.front() == '\\') name.erase(0, 1);
  while (!name.empty() && name.back() == '\\') name.pop_back();
  return name;
}

}  // namespace

EntrySelection::EntrySelection(const std::vector<std::string>& requested) {
  for (const std::string& given : requested) {
    Request request;
    request.given = given;
    request.literal = CaseFoldedName(Normalized(given));
    request.isPattern = request.pattern.Parse(given);
    requests_.push_back(request);
  }
}

bool EntrySelection::Answers(const Request& request, const std::string& name) const {
  if (!request.literal.empty()) {
    std::string folded = CaseFoldedName(name);
    const std::string& wanted = request.literal;
    if (folded == wanted) return true;
    if (folded.size() > wanted.size() && folded.compare(0, wanted.size(), wanted) == 0 && folded[wanted.size()] == '\\')
      return true;
  }
  return request.isPattern && request.pattern.MatchesOrHolds(name);
}

bool EntrySelection::Selects(const std::string& name) {
  if (requests_.empty()) return true;
  bool selected = false;
  for (Request& request : requests_) {
    if (!Answers(request, name)) continue;
    request.matched = true;
    selected = true;
  }
  return selected;
}

std::vector<std::string> EntrySelection::Unmatched() const {
  std::vector<std::string> unmatched;
  for (const Request& request : requests_)
    if (!request.matched) unmatched.push_back(request.given);
  return unmatched;
}
