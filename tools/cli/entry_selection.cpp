#include "tools/cli/entry_selection.h"

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

EntrySelection::EntrySelection(const std::vector<std::string>& requested)
    : requested_(requested), matched_(requested.size(), false) {
  for (const std::string& name : requested) normalized_.push_back(Normalized(name));
}

bool EntrySelection::Selects(const std::string& name) {
  if (requested_.empty()) return true;
  bool selected = false;
  for (size_t i = 0; i < normalized_.size(); ++i) {
    const std::string& wanted = normalized_[i];
    bool below = name.size() > wanted.size() && name.compare(0, wanted.size(), wanted) == 0 &&
                 name[wanted.size()] == '\\';
    if (!wanted.empty() && (name == wanted || below)) {
      matched_[i] = true;
      selected = true;
    }
  }
  return selected;
}

std::vector<std::string> EntrySelection::Unmatched() const {
  std::vector<std::string> unmatched;
  for (size_t i = 0; i < requested_.size(); ++i)
    if (!matched_[i]) unmatched.push_back(requested_[i]);
  return unmatched;
}
