// The locator lookup finds type "VAL" id 133 in a PE image and refuses
// anything else cleanly, even a damaged or truncated image.
#include <gtest/gtest.h>

#include "fake_stub.h"
#include "tools/pe/pe_resources.h"

TEST(PeResources, FindsTheLocatorResource) {
  std::vector<uint8_t> stub = fake_stub::Make();
  ResourceLocation where{};
  std::string error;
  ASSERT_TRUE(FindLocatorResource(stub.data(), stub.size(), &where, &error)) << error;
  EXPECT_EQ(where.fileOffset, fake_stub::kLocatorFileOffset);
  EXPECT_EQ(where.size, 4u);
}

TEST(PeResources, TypeNameIgnoresCase) {
  std::vector<uint8_t> stub = fake_stub::Make("val");
  ResourceLocation where{};
  std::string error;
  EXPECT_TRUE(FindLocatorResource(stub.data(), stub.size(), &where, &error)) << error;
}

TEST(PeResources, RefusesImagesWithoutTheLocator) {
  struct Case {
    std::vector<uint8_t> image;
    const char* expected;
  };
  std::vector<uint8_t> text(2000, 'a');
  std::vector<uint8_t> noPe = fake_stub::Make();
  noPe[0x41] = 'X';
  std::vector<uint8_t> noResources = fake_stub::Make();
  fake_stub::Put32(noResources, 0x58 + 112, 0);
  Case cases[] = {{text, "no MZ header"},
                  {noPe, "no PE header"},
                  {noResources, "no resources"},
                  {fake_stub::Make("VAX"), "no locator resource"},
                  {fake_stub::Make("VAL", 134), "no locator resource"}};
  for (const Case& c : cases) {
    ResourceLocation where{};
    std::string error;
    EXPECT_FALSE(FindLocatorResource(c.image.data(), c.image.size(), &where, &error));
    EXPECT_NE(error.find(c.expected), std::string::npos) << error;
  }
}

TEST(PeResources, TruncatedOrScribbledImagesNeverReadOutside) {
  // Each prefix is copied to its own buffer so a sanitizer sees any over-read.
  std::vector<uint8_t> stub = fake_stub::Make();
  for (size_t size = 0; size < stub.size(); ++size) {
    std::vector<uint8_t> prefix(stub.begin(), stub.begin() + static_cast<std::ptrdiff_t>(size));
    ResourceLocation where{};
    std::string error;
    bool found = FindLocatorResource(prefix.data(), prefix.size(), &where, &error);
    if (found) {
      EXPECT_LE(uint64_t{where.fileOffset} + where.size, size);
    }
  }
  for (size_t at = 0x3C; at < 0x300; ++at) {
    std::vector<uint8_t> damaged = stub;
    damaged[at] = 0xFF;
    damaged[at ^ 1] = 0xFF;
    ResourceLocation where{};
    std::string error;
    if (FindLocatorResource(damaged.data(), damaged.size(), &where, &error)) {
      EXPECT_LE(uint64_t{where.fileOffset} + where.size, damaged.size());
    }
  }
}
