// Branding a stub: the new icon group and version record land in a rebuilt
// resource section, the relocations behind it move with every header field
// that describes them, and nothing else in the image changes.
#include <gtest/gtest.h>

#include "branding_image.h"
#include "fake_stub.h"
#include "tools/pe/ico_file.h"
#include "tools/pe/pe_resource_tree.h"
#include "tools/pe/pe_resources.h"
#include "tools/pe/stub_branding.h"

namespace {

using namespace branding_image;

uint32_t U32(const std::vector<uint8_t>& b, size_t at) { return LoadU32(&b[at]); }

ResourceDirectory ResourcesOf(const std::vector<uint8_t>& image) {
  uint32_t rawOffset = U32(image, kSectionTable + 40 + 20);
  uint32_t virtualSize = U32(image, kSectionTable + 40 + 8);
  ResourceDirectory root;
  std::string error;
  EXPECT_TRUE(ParseResourceSection(&image[rawOffset], virtualSize, kResourceRva, &root, &error)) << error;
  return root;
}

// The data of type/id (first language), or empty.
std::vector<uint8_t> Resource(ResourceDirectory& root, uint32_t type, uint32_t id) {
  ResourceEntry* t = FindNumberedEntry(&root, type);
  ResourceEntry* i = t != nullptr ? FindNumberedEntry(&t->directory, id) : nullptr;
  if (i == nullptr || i->directory.entries.empty()) return {};
  return i->directory.entries.front().data;
}

std::vector<uint8_t> Brand(const std::vector<uint8_t>& stub, const StubBranding& branding) {
  std::vector<uint8_t> branded;
  std::string error;
  EXPECT_TRUE(BrandStub(stub, branding, &branded, &error)) << error;
  return branded;
}

StubBranding IconBranding(const std::vector<uint8_t>& ico) {
  StubBranding branding;
  branding.replaceIcon = true;
  branding.icon = ico;
  return branding;
}

}  // namespace

TEST(StubBranding, IconGroupNamesEveryImageAndDropsTheOldOnes) {
  std::vector<uint8_t> ico = ThreeImageIco();
  std::vector<uint8_t> branded = Brand(Make(), IconBranding(ico));
  ResourceDirectory root = ResourcesOf(branded);

  std::vector<uint8_t> group = Resource(root, 14, 130);
  std::vector<uint16_t> ids = IconGroupIds(group);
  // Icons 1 and 2 were the old group's and are free again; 3 is taken.
  ASSERT_EQ(ids, (std::vector<uint16_t>{1, 2, 4}));
  std::vector<IconImage> images;
  std::string error;
  ASSERT_TRUE(ParseIcoFile(ico.data(), ico.size(), &images, &error));
  for (size_t i = 0; i < ids.size(); ++i) EXPECT_EQ(Resource(root, 3, ids[i]), images[i].bytes) << i;
  EXPECT_EQ(Resource(root, 3, 3), Bytes("unrelated icon"));
  ASSERT_EQ(FindNumberedEntry(&FindNumberedEntry(&root, 3)->directory, 5), nullptr);
  // Group entries: width, height, colour count, planes, bit count, size.
  EXPECT_EQ(group[6 + 14 + 0], 32);
  EXPECT_EQ(LoadU16(&group[6 + 14 + 6]), 8);  // from the bitmap header: the .ico said 0
  EXPECT_EQ(group[6 + 28 + 0], 0);            // 256 wide
  EXPECT_EQ(LoadU32(&group[6 + 28 + 8]), 300u);
  // The rest of the resources are untouched, language included.
  EXPECT_EQ(Resource(root, 5, 131), Bytes("dialog template"));
  EXPECT_EQ(FindNumberedEntry(&FindNumberedEntry(&root, 14)->directory, 130)->directory.entries.front().id, 0x411u);
  EXPECT_EQ(root.timeDateStamp, 0x5EEDu);
}

TEST(StubBranding, SectionsBehindTheResourcesMoveAndNothingElseChanges) {
  std::vector<uint8_t> stub = Make();
  std::vector<uint8_t> branded = Brand(stub, IconBranding(ThreeImageIco()));
  uint32_t rsrcSize = U32(branded, kSectionTable + 40 + 8);
  uint32_t rsrcRaw = U32(branded, kSectionTable + 40 + 16);
  ASSERT_GT(rsrcSize, U32(stub, kSectionTable + 40 + 8));
  EXPECT_EQ(rsrcRaw, AlignUp(rsrcSize, kFileAlignment));
  uint32_t relocRva = AlignUp(kResourceRva + rsrcSize, kSectionAlignment);
  uint32_t relocRaw = kResourceFileOffset + rsrcRaw;

  // The headers as they should be: the original with exactly these fields changed.
  std::vector<uint8_t> expected(stub.begin(), stub.begin() + kHeadersSize);
  StoreU32(&expected[kOptional + 8], U32(stub, kOptional + 8) + rsrcRaw - U32(stub, kSectionTable + 40 + 16));
  StoreU32(&expected[kOptional + 56], AlignUp(relocRva + kRelocationSize, kSectionAlignment));
  StoreU32(&expected[kOptional + 64], 0);
  StoreU32(&expected[kDirectories + 8 * 2 + 4], rsrcSize);
  StoreU32(&expected[kDirectories + 8 * 5], relocRva);
  StoreU32(&expected[kSectionTable + 40 + 8], rsrcSize);
  StoreU32(&expected[kSectionTable + 40 + 16], rsrcRaw);
  StoreU32(&expected[kSectionTable + 80 + 12], relocRva);
  StoreU32(&expected[kSectionTable + 80 + 20], relocRaw);
  EXPECT_EQ(std::vector<uint8_t>(branded.begin(), branded.begin() + kHeadersSize), expected);

  ASSERT_EQ(branded.size(), relocRaw + kFileAlignment);
  EXPECT_TRUE(std::equal(stub.begin() + kHeadersSize, stub.begin() + kResourceFileOffset, branded.begin() + kHeadersSize));
  EXPECT_TRUE(std::equal(stub.end() - kFileAlignment, stub.end(), branded.begin() + relocRaw));
  EXPECT_TRUE(std::all_of(branded.begin() + kResourceFileOffset + rsrcSize, branded.begin() + relocRaw,
                          [](uint8_t b) { return b == 0; }));

  // The locator reader finds the locator inside the new section.
  ResourceLocation locator{};
  std::string error;
  ASSERT_TRUE(FindLocatorResource(branded.data(), branded.size(), &locator, &error)) << error;
  EXPECT_GE(locator.fileOffset, kResourceFileOffset);
  EXPECT_LT(locator.fileOffset, kResourceFileOffset + rsrcSize);
}

TEST(StubBranding, VersionRecordKeepsLanguageCodePageAndFileType) {
  StubBranding branding;
  branding.version = {{"ProductName", "製品"}, {"ProductVersion", "2.5"}};
  std::vector<uint8_t> branded = Brand(Make(), branding);
  ResourceDirectory root = ResourcesOf(branded);
  std::vector<uint8_t> record = Resource(root, 16, 1);
  VersionRecordBase read;
  read.codePage = 0;
  ReadVersionRecordBase(record, &read);
  EXPECT_EQ(read.language, 0x411);
  EXPECT_EQ(read.codePage, 932);
  EXPECT_EQ(read.fileType, 2u);
  EXPECT_EQ(read.fileFlags, 8u);
  // The icon stays as it was.
  EXPECT_EQ(Resource(root, 14, 130), OldIconGroup());
  EXPECT_EQ(Resource(root, 3, 2), Bytes("old icon two"));
}

TEST(StubBranding, RefusesStubsItCannotRebuild) {
  struct Case {
    std::vector<uint8_t> stub;
    const char* expected;
  };
  ResourceDirectory noGroup = StubResources();
  RemoveNumberedEntry(&noGroup, 14);
  std::vector<uint8_t> notPe(3000, 'x');
  // Code mapped behind the resources, or a gap in front of the relocations:
  // moving the relocations would not give a valid image.
  std::vector<uint8_t> codeBehind = Make();
  StoreU32(&codeBehind[kSectionTable + 12], 0x8000);
  std::vector<uint8_t> gap = Make();
  StoreU32(&gap[kSectionTable + 80 + 12], LoadU32(&gap[kSectionTable + 80 + 12]) + kSectionAlignment);
  Case cases[] = {{Make(StubResources(), Variant::Signed), "signed"},
                  {codeBehind, "in front of the resources are out of order"},
                  {gap, "behind the resources are out of order"},
                  {Make(StubResources(), Variant::DataBehindResources), "other than the relocations"},
                  {Make(noGroup), "no icon group 130"},
                  {notPe, "no MZ header"}};
  for (const Case& c : cases) {
    std::vector<uint8_t> branded;
    std::string error;
    EXPECT_FALSE(BrandStub(c.stub, IconBranding(ThreeImageIco()), &branded, &error));
    EXPECT_NE(error.find(c.expected), std::string::npos) << error;
  }
  std::vector<uint8_t> branded;
  std::string error;
  EXPECT_FALSE(BrandStub(Make(), IconBranding(Bytes("GIF89a not an icon")), &branded, &error));
  EXPECT_NE(error.find("not an .ico file"), std::string::npos) << error;
}

TEST(StubBranding, DamagedImagesAreRefusedWithoutReadingOutside) {
  // Copies to exact-size buffers, so a sanitizer sees any over-read.
  std::vector<uint8_t> stub = Make();
  StubBranding branding = IconBranding(ThreeImageIco());
  for (size_t size = 0; size < stub.size(); size += 7) {
    std::vector<uint8_t> prefix(stub.begin(), stub.begin() + static_cast<std::ptrdiff_t>(size));
    std::vector<uint8_t> branded;
    std::string error;
    EXPECT_FALSE(BrandStub(prefix, branding, &branded, &error)) << size;
  }
  for (size_t at = 0x3C; at < kResourceFileOffset + 0x100; ++at) {
    std::vector<uint8_t> damaged = stub;
    damaged[at] ^= 0xFF;
    std::vector<uint8_t> branded;
    std::string error;
    if (BrandStub(damaged, branding, &branded, &error)) {
      ResourceLocation locator{};
      FindLocatorResource(branded.data(), branded.size(), &locator, &error);
    }
  }
}

TEST(ResourceTree, ReadsAHandMadeSectionAndWritesEntriesInLookupOrder) {
  // The locator test's image, made byte by byte, read by the tree reader.
  std::vector<uint8_t> handMade = fake_stub::Make();
  ResourceDirectory root;
  std::string error;
  ASSERT_TRUE(ParseResourceSection(&handMade[0x200], 0x200, 0x1000, &root, &error)) << error;
  ASSERT_EQ(root.entries.size(), 1u);
  EXPECT_EQ(root.entries[0].name, u"VAL");
  EXPECT_EQ(root.entries[0].directory.entries[0].id, 133u);
  EXPECT_EQ(root.entries[0].directory.entries[0].directory.entries[0].data.size(), 4u);

  // Written out of order, read back sorted: names first, then ids ascending.
  ResourceDirectory shuffled;
  shuffled.entries = {Typed(24, 1, Bytes("manifest")),
                      Directory(3, {Directory(9, {Leaf(0x411, Bytes("icon nine"))}),
                                    Directory(2, {Leaf(0x411, Bytes("icon two"))})}),
                      Directory(0, {Directory(133, {Leaf(0x411, Bytes("locator"))})}, u"VAL")};
  std::vector<uint8_t> section = SerializeResourceSection(shuffled, 0x5000);
  ResourceDirectory back;
  ASSERT_TRUE(ParseResourceSection(section.data(), section.size(), 0x5000, &back, &error)) << error;
  ASSERT_EQ(back.entries.size(), 3u);
  EXPECT_EQ(back.entries[0].name, u"VAL");
  EXPECT_EQ(back.entries[1].id, 3u);
  EXPECT_EQ(back.entries[2].id, 24u);
  ASSERT_EQ(back.entries[1].directory.entries.size(), 2u);
  EXPECT_EQ(back.entries[1].directory.entries[0].id, 2u);
  EXPECT_EQ(back.entries[1].directory.entries[1].id, 9u);
  EXPECT_EQ(back.entries[1].directory.entries[1].directory.entries[0].data, Bytes("icon nine"));
  EXPECT_EQ(back.entries[0].directory.entries[0].directory.entries[0].data, Bytes("locator"));
  // Each resource's bytes start on an 8-byte boundary.
  for (const char* data : {"manifest", "icon nine", "locator", "icon two"}) {
    std::vector<uint8_t> wanted = Bytes(data);
    auto at = std::search(section.begin() + 0x40, section.end(), wanted.begin(), wanted.end());
    ASSERT_NE(at, section.end()) << data;
    EXPECT_EQ((at - section.begin()) % 8, 0) << data;
  }
}

TEST(ResourceTree, RefusesLoopsAndDataOutsideTheSection) {
  std::vector<uint8_t> section = SerializeResourceSection(StubResources(), 0x2000);
  ResourceDirectory root;
  std::string error;
  // The first type's subdirectory pointer aimed back at the root.
  std::vector<uint8_t> loop = section;
  StoreU32(&loop[16 + 4], 0x80000000u);
  EXPECT_FALSE(ParseResourceSection(loop.data(), loop.size(), 0x2000, &root, &error));
  EXPECT_NE(error.find("nested too deep"), std::string::npos) << error;
  // Mapped elsewhere, every data address falls outside.
  EXPECT_FALSE(ParseResourceSection(section.data(), section.size(), 0x3000, &root, &error));
  EXPECT_NE(error.find("outside the section"), std::string::npos) << error;
}
