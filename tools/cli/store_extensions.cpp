#include "tools/cli/store_extensions.h"

#include "tools/cli/cli_support.h"
#include "tools/cli/name_case.h"

const char* const kDefaultStoreExtensions =
    "7z,aac,avi,bz2,cab,docx,flac,gif,gz,jpeg,jpg,lz,lzh,lzma,m4a,mkv,mov,mp3,mp4,msi,ogg,png,"
    "pptx,rar,tbz,tgz,txz,webm,webp,xlsx,xz,zip,zst";

namespace {

std::string Trimmed(const std::string& text) {
  size_t first = text.find_first_not_of(' ');
  if (first == std::string::npos) return std::string();
  return text.substr(first, text.find_last_not_of(' ') - first + 1);
}

// One item as it is compared: no leading dot, upper-cased as Windows compares names.
std::string ParseItem(const std::string& raw, const std::string& value) {
  std::string item = Trimmed(raw);
  if (!item.empty() && item[0] == '.') item.erase(0, 1);
  if (item.empty()) throw UsageFailure("--store-ext '" + value + "': an empty item (write LIST as zip,7z,...)");
  if (item.find_first_of("*?[]/\\ ") != std::string::npos || item.back() == '.')
    throw UsageFailure("--store-ext: '" + Trimmed(raw) + "' is not an extension (write it as zip or .zip, tar.gz for two)");
  return CaseFoldedName(item);
}

}  // namespace

void ApplyStoreExtensions(const std::string& value, std::vector<std::string>* extensions) {
  bool adds = value.rfind('+', 0) == 0;
  std::string list = adds ? value.substr(1) : value;
  if (!adds) extensions->clear();
  if (!adds && Trimmed(list).empty()) return;  // '' compresses everything
  size_t start = 0;
  while (true) {
    size_t comma = list.find(',', start);
    extensions->push_back(ParseItem(list.substr(start, comma - start), value));
    if (comma == std::string::npos) break;
    start = comma + 1;
  }
}

std::vector<std::string> DefaultStoreExtensions() {
  std::vector<std::string> extensions;
  ApplyStoreExtensions(kDefaultStoreExtensions, &extensions);
  return extensions;
}

bool EndsInExtension(const std::string& name, const std::vector<std::string>& extensions) {
  std::string folded = CaseFoldedName(name.substr(name.rfind('\\') + 1));
  for (const std::string& extension : extensions) {
    if (folded.size() < extension.size() + 1) continue;
    size_t dot = folded.size() - extension.size() - 1;
    if (folded[dot] == '.' && folded.compare(dot + 1, std::string::npos, extension) == 0) return true;
  }
  return false;
}
