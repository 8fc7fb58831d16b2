#include "tools/archive_writer.h"

#include <algorithm>
#include <cstring>

#include "archive/archive_end.h"
#include "archive/checksum.h"
#include "archive/container_checks.h"
#include "archive/integrity_record.h"
#include "tools/entry_name_rules.h"
#include "tools/pe/pe_resources.h"
#include "tools/report_failure.h"

namespace {

std::string Label(const std::string& displayName, const std::string& name) {
  return displayName.empty() ? name : displayName;
}

// A stub that already carries an archive has a non-zero locator that its last
// four bytes repeat.
bool LooksSelfExtracting(const std::vector<uint8_t>& stub, const ResourceLocation& locator) {
  uint32_t value = LoadU32(stub.data() + locator.fileOffset);
  return value != 0 && stub.size() >= kTrailerSize &&
         LoadU32(stub.data() + stub.size() - kTrailerSize) == value;
}

// A signature holds only for the bytes it was made for: a signed stub would
// carry a broken one, and its certificate table would not end the file.
bool IsSigned(const std::vector<uint8_t>& image) {
  if (image.size() < kPeOffsetField + 4) return false;
  uint64_t pe = LoadU32(image.data() + kPeOffsetField);
  if (pe > image.size() || image.size() - pe < kPeHeadThroughCertificateEntry) return false;
  CertificateTable table = ReadCertificateEntry(image.data() + pe);
  return table.offset != 0 || table.size != 0;
}

bool CheckFollowUp(const ArchiveOptions& options, std::string* error) {
  const std::string& name = options.followUpName;
  const std::string& args = options.followUpArgs;
  if (name.empty() && !args.empty()) return Fail(error, "follow-up arguments given without a follow-up program");
  if (name.size() > kMaxFollowUpLength) return Fail(error, "follow-up program name longer than 259 bytes");
  if (args.size() > kMaxFollowUpLength) return Fail(error, "follow-up arguments longer than 259 bytes");
  if (name.find('\0') != std::string::npos || args.find('\0') != std::string::npos)
    return Fail(error, "follow-up program or arguments hold a zero byte");
  if (!name.empty() && !IsSafeEntryName(reinterpret_cast<const uint8_t*>(name.data()), name.size(),
                                        IsShiftJisLeadByte))
    return Fail(error, "follow-up program '" + name + "' is not a path inside the destination folder");
  return true;
}

}  // namespace

bool CheckEntryName(const std::string& name, const std::string& label, std::string* error) {
  std::string problem = EntryNameProblem(name);
  if (problem.empty()) return true;
  return Fail(error, label + ": " + problem);
}

bool SelfExtractingWriter::Put(const uint8_t* data, size_t size, std::string* error) {
  if (size == 0) return true;
  if (!sink_(data, size)) return Fail(error, "cannot write the output file");
  checksum_.Add(data, size);
  written_ += size;
  return true;
}

bool SelfExtractingWriter::Begin(const std::vector<uint8_t>& stub, const ArchiveOptions& options,
                                 const std::vector<PlannedEntry>& plan, std::string* error) {
  ResourceLocation locator;
  std::string why;
  if (!FindLocatorResource(stub.data(), stub.size(), &locator, &why)) return Fail(error, "stub: " + why);
  bool isSigned = IsSigned(stub);
  if (LooksSelfExtracting(stub, locator) || (isSigned && LoadU32(stub.data() + locator.fileOffset) != 0))
    return Fail(error, "stub: already a self-extracting file (its locator is set)");
  if (isSigned)
    return Fail(error, "stub: it is signed, and the signature would not hold for the finished file: "
                       "use the unsigned stub and sign the finished file");
  uint64_t checksumField = 0;
  if (!FindPeChecksumField(stub.data(), stub.size(), &checksumField)) return Fail(error, "stub: damaged PE header");
  if (stub.size() + kMinimumArchiveSize > kMaxSelfExtractingFileSize) return Fail(error, "stub: too large");
  if (!CheckFollowUp(options, error)) return false;
  if (options.level < kStoreLevel || options.level > kBestLevel) return Fail(error, "level must be 0 to 9");
  if (plan.size() > kMaxEntryCount)
    return Fail(error, std::to_string(plan.size()) + " files; a self-extracting file holds at most " +
                           std::to_string(kMaxEntryCount));

  uint64_t requiredSize = 0;
  uint64_t smallest = stub.size() + kMinimumArchiveSize + kIntegrityFooterSize +
                      kFileLengthAlignment - 1 + FollowUpStringsSize(ArchiveHeader{
      0, 0, 0, 0, static_cast<uint16_t>(options.followUpName.size()),
      static_cast<uint16_t>(options.followUpArgs.size()), 0});
  std::vector<std::string> names;
  for (const PlannedEntry& entry : plan) {
    if (!CheckEntryName(entry.name, Label(entry.displayName, entry.name), error)) return false;
    requiredSize += entry.size;
    smallest += kEntryHeaderSize + entry.name.size() + kEntryCheckSize;
    names.push_back(entry.name);
  }
  size_t clash = 0;
  std::string problem = NameClashProblem(names, &clash);
  if (!problem.empty()) return Fail(error, Label(plan[clash].displayName, plan[clash].name) + ": " + problem);
  if (requiredSize > 0xFFFFFFFFu) return Fail(error, "the files add up to 4 GiB or more");
  if (smallest > kMaxSelfExtractingFileSize) return Fail(error, "the self-extracting file would reach 2 GiB");

  options_ = options;
  plan_ = plan;
  nextEntry_ = 0;
  written_ = 0;
  locator_ = static_cast<uint32_t>(stub.size());
  entryChecks_.clear();
  checksumField_ = checksumField;
  checksum_ = PeChecksum(checksumField);

  std::vector<uint8_t> patched = stub;
  StoreU32(patched.data() + locator.fileOffset, locator_);
  // Filled in by Finish, once every byte is known.
  StoreU32(patched.data() + checksumField, 0);
  if (!Put(patched.data(), patched.size(), error)) return false;

  ArchiveHeader header{};
  header.magic = kArchiveMagic;
  header.headerSize = kArchiveHeaderSize;
  header.entryCount = static_cast<uint16_t>(plan.size());
  header.automaticMode = options.automaticMode;
  header.followUpNameLength = static_cast<uint16_t>(options.followUpName.size());
  // Without a follow-up program the stub reads no arguments, so none are written.
  header.followUpArgsLength =
      options.followUpName.empty() ? 0 : static_cast<uint16_t>(options.followUpArgs.size());
  header.requiredSize = static_cast<uint32_t>(requiredSize);
  uint8_t bytes[kArchiveHeaderSize];
  SerializeArchiveHeader(header, bytes);
  if (!Put(bytes, sizeof bytes, error)) return false;
  if (!options.followUpName.empty()) {
    const std::string& name = options.followUpName;
    const std::string& args = options.followUpArgs;
    if (!Put(reinterpret_cast<const uint8_t*>(name.data()), name.size(), error)) return false;
    if (!Put(reinterpret_cast<const uint8_t*>(args.data()), args.size(), error)) return false;
  }
  startCheck_ = ArchiveStartCheck(header, options.followUpName.c_str(), options.followUpArgs.c_str());
  begun_ = true;
  return true;
}

bool SelfExtractingWriter::AddEntry(const ArchiveInput& input, const EncodeProgress& progress,
                                    WrittenEntry* written, std::string* error) {
  if (!begun_ || nextEntry_ >= plan_.size()) return Fail(error, "internal: entry outside the plan");
  const PlannedEntry& planned = plan_[nextEntry_];
  std::string label = Label(input.displayName, input.name);
  if (input.name != planned.name) return Fail(error, "internal: entries out of planned order");
  if (input.content.size() != planned.size) return Fail(error, label + ": the file changed while being packed");

  int level = input.level == kLevelFromOptions ? options_.level : input.level;
  std::vector<uint8_t> block;
  if (level > kStoreLevel && !input.content.empty()) {
    block = EncodeBlock(input.content.data(), input.content.size(), level, progress);
    // A block that saves nothing is not worth decoding.
    if (block.size() >= input.content.size()) block.clear();
  }
  bool stored = block.empty();
  const std::vector<uint8_t>& data = stored ? input.content : block;

  // What the file still needs behind this entry: the rest of the entries'
  // headers and names were counted by Begin; the record, padding and trailer here.
  uint64_t end = written_ + kEntryHeaderSize + input.name.size() + data.size() +
                 IntegrityRecordSize(static_cast<uint32_t>(plan_.size())) + kFileLengthAlignment - 1 +
                 kTrailerSize;
  if (end > kMaxSelfExtractingFileSize)
    return Fail(error, label + ": the self-extracting file would reach 2 GiB");

  EntryHeader header{};
  header.magic = kEntryMagic;
  header.nameWord = static_cast<uint16_t>(input.name.size() | (stored ? kStoredFlag : 0));
  header.creationTime = input.creationTime;
  header.lastWriteTime = input.lastWriteTime;
  header.dataSize = static_cast<uint32_t>(data.size());
  uint8_t bytes[kEntryHeaderSize];
  SerializeEntryHeader(header, bytes);
  if (!Put(bytes, sizeof bytes, error)) return false;
  if (!Put(reinterpret_cast<const uint8_t*>(input.name.data()), input.name.size(), error)) return false;
  if (!Put(data.data(), data.size(), error)) return false;
  entryChecks_.push_back(EntryCheck{EntryHeaderCheck(header, reinterpret_cast<const uint8_t*>(input.name.data())),
                                    Checksum32(input.content.data(), input.content.size())});
  ++nextEntry_;
  if (written != nullptr) *written = WrittenEntry{stored, header.dataSize};
  return true;
}

bool SelfExtractingWriter::Finish(std::string* error) {
  if (!begun_ || nextEntry_ != plan_.size()) return Fail(error, "internal: not every planned entry was written");
  begun_ = false;
  uint32_t entryCount = static_cast<uint32_t>(entryChecks_.size());
  uint32_t recordSize = IntegrityRecordSize(entryCount);
  uint32_t paddingSize = IntegrityPaddingSize(written_, recordSize + kTrailerSize);
  std::vector<uint8_t> tail(paddingSize + recordSize + kTrailerSize, 0);
  uint8_t* record = tail.data() + paddingSize;
  for (uint32_t i = 0; i < entryCount; ++i) SerializeEntryCheck(entryChecks_[i], record + i * kEntryCheckSize);
  IntegrityFooter footer{};
  std::memcpy(footer.marker, kIntegrityMarker, kIntegrityMarkerSize);
  footer.entryCount = entryCount;
  footer.paddingSize = paddingSize;
  footer.startCheck = startCheck_;
  uint8_t* footerBytes = record + recordSize - kIntegrityFooterSize;
  SerializeIntegrityFooter(footer, footerBytes);
  StoreU32(footerBytes + kIntegrityFooterSize - 4, Checksum32(record, recordSize - 4));
  StoreU32(record + recordSize, locator_);
  if (!Put(tail.data(), tail.size(), error)) return false;
  uint8_t checksum[4];
  StoreU32(checksum, checksum_.Value());
  if (!patch_(checksumField_, checksum, sizeof checksum)) return Fail(error, "cannot write the output file");
  return true;
}

bool BuildSelfExtractingImage(const std::vector<uint8_t>& stub, const std::vector<ArchiveInput>& entries,
                              const ArchiveOptions& options, std::vector<uint8_t>* image,
                              std::string* error) {
  image->clear();
  SelfExtractingWriter writer(
      [image](const uint8_t* data, size_t size) {
        image->insert(image->end(), data, data + size);
        return true;
      },
      [image](uint64_t offset, const uint8_t* data, size_t size) {
        if (offset > image->size() || size > image->size() - offset) return false;
        std::copy(data, data + size, image->begin() + static_cast<std::ptrdiff_t>(offset));
        return true;
      });
  std::vector<PlannedEntry> plan;
  for (const ArchiveInput& entry : entries)
    plan.push_back(PlannedEntry{entry.name, entry.content.size(), entry.displayName});
  if (!writer.Begin(stub, options, plan, error)) return false;
  for (const ArchiveInput& entry : entries)
    if (!writer.AddEntry(entry, EncodeProgress(), nullptr, error)) return false;
  return writer.Finish(error);
}
