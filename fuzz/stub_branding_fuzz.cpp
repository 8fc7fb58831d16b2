// Any bytes taken as a stub image and branded with a fixed icon and version
// record: the rebuild never reads or writes outside its buffers, refuses with
// a reason or gives an image whose resource section can be found and read
// again, and branding that image once more changes nothing.
#include <string>
#include <vector>

#include "branding_image.h"
#include "fuzz/fuzz_target.h"
#include "tools/pe/pe_resource_section.h"
#include "tools/pe/stub_branding.h"

namespace {

StubBranding FixedBranding() {
  StubBranding branding;
  branding.replaceIcon = true;
  branding.icon = branding_image::ThreeImageIco();
  branding.version = {{"ProductName", "fuzz"}, {"FileVersion", "1.2.3"}};
  return branding;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static const StubBranding branding = FixedBranding();
  std::vector<uint8_t> stub(data, data + size);
  std::vector<uint8_t> branded;
  std::string why;
  if (!BrandStub(stub, branding, &branded, &why)) {
    FUZZ_CHECK(!why.empty());
    return 0;
  }
  ResourceSectionPlace place;
  FUZZ_CHECK(FindResourceSection(branded, &place, &why));
  std::vector<uint8_t> again;
  FUZZ_CHECK(BrandStub(branded, branding, &again, &why));
  FUZZ_CHECK(again == branded);
  return 0;
}
