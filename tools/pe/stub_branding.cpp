#include "tools/pe/stub_branding.h"

#include <algorithm>

#include "archive/archive_format.h"
#include "tools/pe/ico_file.h"
#include "tools/pe/manifest_level.h"
#include "tools/pe/pe_resources.h"
#include "tools/pe/pe_resource_section.h"
#include "tools/pe/pe_resource_tree.h"
#include "tools/report_failure.h"

namespace {

constexpr uint32_t kIconType = 3;
constexpr uint32_t kIconGroupType = 14;
constexpr uint32_t kVersionType = 16;
constexpr uint32_t kVersionId = 1;

// The first language entry under type/id, or null.
ResourceEntry* FirstLanguage(ResourceDirectory* root, uint32_t type, uint32_t id) {
  ResourceEntry* typeEntry = FindNumberedEntry(root, type);
  if (typeEntry == nullptr || !typeEntry->isDirectory) return nullptr;
  ResourceEntry* idEntry = FindNumberedEntry(&typeEntry->directory, id);
  if (idEntry == nullptr || !idEntry->isDirectory || idEntry->directory.entries.empty()) return nullptr;
  ResourceEntry* language = &idEntry->directory.entries.front();
  return language->isDirectory ? nullptr : language;
}

// Sets type/id to one resource of one language, whatever languages it had.
void PutResource(ResourceDirectory* root, uint32_t type, uint32_t id, uint32_t language,
                 std::vector<uint8_t> data) {
  ResourceDirectory* ids = NumberedSubdirectory(root, type);
  RemoveNumberedEntry(ids, id);
  ResourceDirectory* languages = NumberedSubdirectory(ids, id);
  ResourceEntry leaf;
  leaf.id = language;
  leaf.data = std::move(data);
  languages->entries.push_back(std::move(leaf));
}

bool ReplaceIcon(ResourceDirectory* root, const StubBranding& branding, std::string* error) {
  std::vector<IconImage> images;
  std::string why;
  if (!ParseIcoFile(branding.icon.data(), branding.icon.size(), &images, &why))
    return Fail(error, branding.iconLabel + ": " + why);
  ResourceEntry* group = FirstLanguage(root, kIconGroupType, kStubIconGroupId);
  if (group == nullptr) return Fail(error, "stub: no icon group 130 to replace");
  uint32_t language = group->id;
  std::vector<uint16_t> oldIds = IconGroupIds(group->data);

  // The old group's images go; the new images take the lowest free ids.
  ResourceDirectory* icons = NumberedSubdirectory(root, kIconType);
  if (icons == nullptr) return Fail(error, "stub: damaged icon resources");
  for (uint16_t old : oldIds) RemoveNumberedEntry(icons, old);
  std::vector<uint16_t> ids;
  for (uint32_t id = 1; ids.size() < images.size(); ++id) {
    if (id > 0xFFFF) return Fail(error, branding.iconLabel + ": too many images");
    if (FindNumberedEntry(icons, id) == nullptr) ids.push_back(static_cast<uint16_t>(id));
  }
  PutResource(root, kIconGroupType, kStubIconGroupId, language, BuildIconGroup(images, ids));
  for (size_t i = 0; i < images.size(); ++i)
    PutResource(root, kIconType, ids[i], language, std::move(images[i].bytes));
  return true;
}

bool ReplaceVersion(ResourceDirectory* root, const std::vector<VersionText>& texts, std::string* error) {
  VersionRecordBase base;
  uint32_t language = kResourceLanguageJapanese;
  if (ResourceEntry* old = FirstLanguage(root, kVersionType, kVersionId)) {
    ReadVersionRecordBase(old->data, &base);
    language = old->id;
  }
  std::vector<uint8_t> record;
  if (!BuildVersionRecord(texts, base, &record, error)) return false;
  PutResource(root, kVersionType, kVersionId, language, std::move(record));
  return true;
}

bool ReplaceExecutionLevel(ResourceDirectory* root, const std::string& level, std::string* error) {
  ResourceEntry* manifest = FirstLanguage(root, kManifestResourceType, kManifestResourceId);
  if (manifest == nullptr)
    return Fail(error, "stub: it has no application manifest (resource type 24, id 1) to set the execution level in");
  std::string changed, why;
  if (!SetExecutionLevel(std::string(manifest->data.begin(), manifest->data.end()), level, &changed, &why))
    return Fail(error, "stub: " + why);
  manifest->data.assign(changed.begin(), changed.end());
  return true;
}

}  // namespace

bool BrandStub(const std::vector<uint8_t>& stub, const StubBranding& branding, std::vector<uint8_t>* branded,
               std::string* error) {
  ResourceSectionPlace place;
  std::string why;
  if (!FindResourceSection(stub, &place, &why)) return Fail(error, "stub: " + why);
  ResourceDirectory root;
  if (!ParseResourceSection(stub.data() + place.fileOffset, place.size, place.rva, &root, &why))
    return Fail(error, "stub: " + why);
  if (branding.replaceIcon && !ReplaceIcon(&root, branding, error)) return false;
  if (!branding.version.empty() && !ReplaceVersion(&root, branding.version, error)) return false;
  if (!branding.executionLevel.empty() && !ReplaceExecutionLevel(&root, branding.executionLevel, error)) return false;
  *branded = ReplaceResourceSection(stub, SerializeResourceSection(root, place.rva));
  return true;
}
