// Any bytes taken as an application manifest: reading its execution level
// never reads outside the text, setting one succeeds exactly when the
// manifest names a level to replace, and the changed manifest then reads
// back as the level set and differs from the old one only in the value.
#include <string>

#include "fuzz/fuzz_target.h"
#include "tools/pe/manifest_level.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::string manifest(reinterpret_cast<const char*>(data), size);
  std::string old = ReadExecutionLevel(manifest);
  std::string changed, why;
  bool set = SetExecutionLevel(manifest, "requireAdministrator", &changed, &why);
  FUZZ_CHECK(set || old.empty());
  FUZZ_CHECK(set == why.empty());
  if (!set) return 0;
  FUZZ_CHECK(ReadExecutionLevel(changed) == "requireAdministrator");
  FUZZ_CHECK(changed.size() == manifest.size() - old.size() + std::string("requireAdministrator").size());
  std::string back;
  FUZZ_CHECK(SetExecutionLevel(changed, old, &back, &why));
  FUZZ_CHECK(back == manifest);
  return 0;
}
