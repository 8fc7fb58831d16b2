// Any bytes taken as a stub image: the host tools' search for the locator
// resource never reads outside the image, and a place it reports lies inside
// the image and holds at least the 4 locator bytes; the searches for the
// manifest that list reads and for the PE checksum field that test reads
// answer places inside the image too.
#include <string>
#include <vector>

#include "archive/archive_format.h"
#include "fuzz/fuzz_target.h"
#include "tools/pe/pe_checksum.h"
#include "tools/pe/pe_resources.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  ResourceLocation location{0xFFFFFFFFu, 0};
  std::string why;
  if (FindLocatorResource(data, size, &location, &why)) {
    FUZZ_CHECK(location.size >= kLocatorSize);
    FUZZ_CHECK(uint64_t{location.fileOffset} + location.size <= size);
    FUZZ_CHECK(why.empty());
  } else {
    FUZZ_CHECK(!why.empty());
  }
  ResourceLocation manifest{0xFFFFFFFFu, 0};
  why.clear();
  if (FindManifestResource(data, size, &manifest, &why))
    FUZZ_CHECK(uint64_t{manifest.fileOffset} + manifest.size <= size);
  else
    FUZZ_CHECK(!why.empty());
  uint64_t field = 0;
  if (FindPeChecksumField(data, size, &field)) FUZZ_CHECK(field <= size && size - field >= 4);
  return 0;
}
