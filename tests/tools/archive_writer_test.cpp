// A written self-extracting file keeps the stub byte for byte except the
// locator and the PE checksum (which then covers the whole file), lays the archive out with no gap, and everything the stub would
// refuse is refused when writing, with the file named.
#include <gtest/gtest.h>

#include "archive/archive_format.h"
#include "archive/block/block_decoder.h"
#include "archive/integrity_record.h"
#include "fake_stub.h"
#include "test_data.h"
#include "tools/archive_writer.h"

namespace {

ArchiveInput Input(const std::string& name, std::vector<uint8_t> content, int level = kLevelFromOptions) {
  ArchiveInput in;
  in.name = name;
  in.content = std::move(content);
  in.creationTime = FileTime{0x11223344, 0x01D00000};
  in.lastWriteTime = FileTime{0x55667788, 0x01D10000};
  in.level = level;
  return in;
}

constexpr size_t kChecksumField = 0x58 + 64;  // the fake stub's optional header + 64

// The PE checksum as the platform's documentation spells it out: a carry
// fold after every word, then the length.  The writer's own sums differently.
uint32_t ReferencePeChecksum(const std::vector<uint8_t>& file) {
  uint32_t sum = 0;
  for (size_t i = 0; i < file.size(); i += 2) {
    if (i >= kChecksumField && i < kChecksumField + 4) continue;
    uint32_t word = file[i] | (i + 1 < file.size() ? file[i + 1] << 8 : 0);
    sum += word;
    sum = (sum & 0xFFFF) + (sum >> 16);
  }
  return ((sum & 0xFFFF) + (sum >> 16)) + static_cast<uint32_t>(file.size());
}

std::string Refusal(const std::vector<ArchiveInput>& entries, const ArchiveOptions& options = ArchiveOptions(),
                    const std::vector<uint8_t>& stub = fake_stub::Make()) {
  std::vector<uint8_t> image;
  std::string error;
  if (BuildSelfExtractingImage(stub, entries, options, &image, &error)) return "(accepted)";
  return error;
}

}  // namespace

TEST(ArchiveWriter, LayoutFollowsEveryProducerRule) {
  std::vector<uint8_t> stub = fake_stub::Make();
  std::vector<ArchiveInput> entries = {
      Input("readme.txt", WordySample(20000, 1)),
      Input("bin\\empty.dat", {}),
      Input("bin\\noise.bin", RandomBytes(5000, 2)),
      Input("bin\\kept.txt", WordySample(3000, 3), kStoreLevel),
      Input("\x83\x54\x83\x75\\x", {'x'}),  // サブ\x
  };
  ArchiveOptions options;
  options.automaticMode = true;
  options.followUpName = "bin\\setup.exe";
  options.followUpArgs = "/quiet";
  std::vector<uint8_t> image;
  std::string error;
  ASSERT_TRUE(BuildSelfExtractingImage(stub, entries, options, &image, &error)) << error;

  const uint32_t L = static_cast<uint32_t>(stub.size());
  for (size_t i = 0; i < stub.size(); ++i) {
    bool inLocator = i >= fake_stub::kLocatorFileOffset && i < fake_stub::kLocatorFileOffset + 4;
    bool inChecksum = i >= kChecksumField && i < kChecksumField + 4;
    if (!inLocator && !inChecksum) {
      ASSERT_EQ(image[i], stub[i]) << "stub byte " << i;
    }
  }
  EXPECT_EQ(LoadU32(&image[fake_stub::kLocatorFileOffset]), L);
  EXPECT_EQ(LoadU32(&image[kChecksumField]), ReferencePeChecksum(image));
  EXPECT_EQ(LoadU32(&image[image.size() - 4]), L);

  ArchiveHeader h = ParseArchiveHeader(&image[L]);
  EXPECT_EQ(h.magic, kArchiveMagic);
  EXPECT_EQ(h.headerSize, 16);
  EXPECT_EQ(h.entryCount, entries.size());
  EXPECT_EQ(h.automaticMode, 1);
  EXPECT_EQ(h.followUpNameLength, options.followUpName.size());
  EXPECT_EQ(h.followUpArgsLength, options.followUpArgs.size());
  size_t pos = L + 16;
  EXPECT_EQ(std::string(image.begin() + pos, image.begin() + pos + h.followUpNameLength), options.followUpName);
  pos += h.followUpNameLength + h.followUpArgsLength;

  uint64_t required = 0;
  for (const ArchiveInput& in : entries) {
    EntryHeader e = ParseEntryHeader(&image[pos]);
    EXPECT_EQ(e.magic, kEntryMagic);
    ASSERT_EQ(EntryNameLength(e), in.name.size());
    EXPECT_EQ(std::string(image.begin() + pos + 24, image.begin() + pos + 24 + in.name.size()), in.name);
    EXPECT_EQ(e.creationTime.low, in.creationTime.low);
    EXPECT_EQ(e.creationTime.high, in.creationTime.high);
    EXPECT_EQ(e.lastWriteTime.low, in.lastWriteTime.low);
    EXPECT_EQ(e.lastWriteTime.high, in.lastWriteTime.high);
    const uint8_t* data = &image[pos + 24 + in.name.size()];
    std::vector<uint8_t> content;
    if (EntryIsStored(e)) {
      content.assign(data, data + e.dataSize);
    } else {
      EXPECT_LT(e.dataSize, in.content.size()) << in.name << ": a block must save space";
      uint8_t* out = nullptr;
      uint32_t size = 0;
      ASSERT_EQ(DecodeBlock(data, e.dataSize, &out, &size, nullptr, 0), DecodeOk);
      content.assign(out, out + size);
      FreeBlock(out);
    }
    EXPECT_TRUE(content == in.content) << in.name;
    required += content.size();
    pos += 24 + in.name.size() + e.dataSize;
  }
  EXPECT_EQ(h.requiredSize, required);
  // Behind the last entry: zero padding, the integrity record, the trailer.
  IntegrityFooter footer = ParseIntegrityFooter(&image[image.size() - 4 - kIntegrityFooterSize]);
  EXPECT_EQ(pos + footer.paddingSize + IntegrityRecordSize(footer.entryCount), image.size() - 4);
  EXPECT_EQ(image.size() % 8, 0u);

  // Which entries got compressed: text yes; noise, forced, empty and 1-byte no.
  EXPECT_FALSE(EntryIsStored(ParseEntryHeader(&image[L + 16 + 19])));
}

TEST(ArchiveWriter, NoFollowUpProgramWritesNoArgumentLength) {
  std::vector<uint8_t> image;
  std::string error;
  ASSERT_TRUE(BuildSelfExtractingImage(fake_stub::Make(), {Input("a", {'a'})}, ArchiveOptions(), &image, &error));
  ArchiveHeader h = ParseArchiveHeader(&image[fake_stub::Make().size()]);
  EXPECT_EQ(h.followUpNameLength, 0);
  EXPECT_EQ(h.followUpArgsLength, 0);
  EXPECT_EQ(h.automaticMode, 0);
  ArchiveOptions argsAlone;
  argsAlone.followUpArgs = "x";
  EXPECT_NE(Refusal({Input("a", {'a'})}, argsAlone).find("without a follow-up program"), std::string::npos);
}

TEST(ArchiveWriter, RefusesNamesTheStubOrWindowsWouldNotAccept) {
  struct Case {
    std::string name;
    const char* expected;
  };
  Case cases[] = {
      {std::string(520, 'n'), "takes 520 bytes in code page 932; at most 519 fit"},
      {"..\\up", "leave the destination"},
      {"a\\. .\\up", "leave the destination"},
      {"\\root", "leave the destination"},
      {"a\\\\b", "empty folder component"},
      {"c:x", "holds ':' (U+003A), which Windows does not allow"},
      {"a/b", "does not allow"},
      {"what?", "does not allow"},
      {"dir\\NUL.txt", "device name"},
      {"trail.", "ending in a dot"},
      {"half\x83", "not valid Shift-JIS"},
      {std::string("nul\0byte", 8), "holds U+0000"},
  };
  for (const Case& c : cases) {
    std::string error = Refusal({Input(c.name, {'x'})});
    EXPECT_NE(error.find(c.expected), std::string::npos) << c.name << " -> " << error;
  }
  ArchiveInput labelled = Input("..\\x", {'x'});
  labelled.displayName = "/home/me/evil";
  EXPECT_EQ(Refusal({labelled}).rfind("/home/me/evil: ", 0), 0u) << "the message names the file";
  // A 519-byte name and a trail byte that is a backslash are fine.
  EXPECT_EQ(Refusal({Input(std::string(519, 'n'), {'x'})}), "(accepted)");
  EXPECT_EQ(Refusal({Input("\x83\x5C.txt", {'x'})}), "(accepted)");  // ソ.txt
}

TEST(ArchiveWriter, RefusesNamesThatClash) {
  EXPECT_NE(Refusal({Input("Read.me", {'a'}), Input("READ.ME", {'b'})}).find("same name"), std::string::npos);
  EXPECT_NE(Refusal({Input("a", {'a'}), Input("A\\b", {'b'})}).find("also the folder"), std::string::npos);
  // Case folding must not touch the trail byte of a double-byte character.
  EXPECT_EQ(Refusal({Input("\x82\x61", {'a'}), Input("\x82\x41", {'b'})}), "(accepted)");
}

TEST(ArchiveWriter, RefusesWhatDoesNotFitTheStubsBuffers) {
  ArchiveOptions longName;
  longName.followUpName = std::string(260, 'p');
  EXPECT_NE(Refusal({Input("a", {'a'})}, longName).find("longer than 259"), std::string::npos);
  ArchiveOptions longArgs;
  longArgs.followUpName = "p.exe";
  longArgs.followUpArgs = std::string(260, 'a');
  EXPECT_NE(Refusal({Input("a", {'a'})}, longArgs).find("longer than 259"), std::string::npos);
  ArchiveOptions maxArgs = longArgs;
  maxArgs.followUpArgs.resize(259);
  EXPECT_EQ(Refusal({Input("a", {'a'})}, maxArgs), "(accepted)");

  std::vector<ArchiveInput> many;
  for (int i = 0; i < 65536; ++i) many.push_back(Input("f" + std::to_string(i), {}));
  EXPECT_NE(Refusal(many).find("65535"), std::string::npos);
  many.pop_back();
  EXPECT_EQ(Refusal(many), "(accepted)");
}

TEST(ArchiveWriter, RefusesAStubThatIsNoStub) {
  EXPECT_NE(Refusal({Input("a", {'a'})}, ArchiveOptions(), std::vector<uint8_t>(5000, 'z')).find("stub: not a Windows program"),
            std::string::npos);
  EXPECT_NE(Refusal({Input("a", {'a'})}, ArchiveOptions(), fake_stub::Make("RES")).find("no locator resource"),
            std::string::npos);
  // A finished self-extracting file is not a stub any more.
  std::vector<uint8_t> image;
  std::string error;
  ASSERT_TRUE(BuildSelfExtractingImage(fake_stub::Make(), {Input("a", {'a'})}, ArchiveOptions(), &image, &error));
  EXPECT_NE(Refusal({Input("a", {'a'})}, ArchiveOptions(), image).find("already a self-extracting file"),
            std::string::npos);
  // A signed stub, or a signed finished file: the signature could not hold.
  std::vector<uint8_t> signedStub = fake_stub::Make();
  fake_stub::Put32(signedStub, 0x58 + 96 + 4 * 8, static_cast<uint32_t>(signedStub.size()));
  fake_stub::Put32(signedStub, 0x58 + 96 + 4 * 8 + 4, 16);
  signedStub.resize(signedStub.size() + 16);
  EXPECT_NE(Refusal({Input("a", {'a'})}, ArchiveOptions(), signedStub).find("sign the finished file"),
            std::string::npos);
  fake_stub::Put32(image, 0x58 + 96 + 4 * 8, static_cast<uint32_t>(image.size()));
  fake_stub::Put32(image, 0x58 + 96 + 4 * 8 + 4, 16);
  image.resize(image.size() + 16);
  EXPECT_NE(Refusal({Input("a", {'a'})}, ArchiveOptions(), image).find("already a self-extracting file"),
            std::string::npos);
}

TEST(ArchiveWriter, AFailingSinkStopsTheWrite) {
  int calls = 0;
  SelfExtractingWriter writer([&calls](const uint8_t*, size_t) { return ++calls < 2; },
                              [](uint64_t, const uint8_t*, size_t) { return true; });
  std::string error;
  EXPECT_FALSE(writer.Begin(fake_stub::Make(), ArchiveOptions(), {PlannedEntry{"a", 1, ""}}, &error));
  EXPECT_EQ(error, "cannot write the output file");
}
