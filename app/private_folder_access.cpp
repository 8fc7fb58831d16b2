#include "app/private_folder_access.h"

#include <cstring>

#include "archive/archive_format.h"

namespace {

// S-1-5-18 (SYSTEM) and S-1-5-32-544 (BUILTIN\Administrators).
constexpr uint8_t kSystemSid[] = {1, 1, 0, 0, 0, 0, 0, 5, 18, 0, 0, 0};
constexpr uint8_t kAdministratorsSid[] = {1, 2, 0, 0, 0, 0, 0, 5, 32, 0, 0, 0, 0x20, 2, 0, 0};

constexpr uint8_t kSidRevision = 1;
constexpr uint8_t kMaxSubAuthorities = 15;
constexpr uint8_t kAclRevision = 2;
constexpr uint8_t kAccessAllowedAceType = 0;
constexpr uint8_t kInheritedByFilesAndFolders = 0x01 | 0x02;  // OBJECT_ and CONTAINER_INHERIT_ACE
constexpr uint32_t kFileAllAccess = 0x001F01FF;
constexpr uint8_t kDescriptorRevision = 1;
// SE_DACL_PRESENT, SE_DACL_PROTECTED (no ACE inherited from above), SE_SELF_RELATIVE.
constexpr uint16_t kDescriptorControl = 0x0004 | 0x1000 | 0x8000;
constexpr size_t kDescriptorHeaderSize = 20;
constexpr size_t kAclHeaderSize = 8;
constexpr size_t kAceHeaderSize = 8;  // type, flags, size, access mask

uint8_t* AppendAce(uint8_t* out, const uint8_t* sid, size_t sidSize) {
  out[0] = kAccessAllowedAceType;
  out[1] = kInheritedByFilesAndFolders;
  StoreU16(out + 2, static_cast<uint16_t>(kAceHeaderSize + sidSize));
  StoreU32(out + 4, kFileAllAccess);
  std::memcpy(out + kAceHeaderSize, sid, sidSize);
  return out + kAceHeaderSize + sidSize;
}

}  // namespace

size_t SidSize(const uint8_t* sid, size_t available) {
  if (available < 8 || sid[0] != kSidRevision || sid[1] > kMaxSubAuthorities) return 0;
  const size_t size = 8 + 4 * size_t{sid[1]};
  return size <= available ? size : 0;
}

size_t BuildPrivateFolderDescriptor(const uint8_t* userSid, size_t sidAvailable, uint8_t* out) {
  const size_t userSidSize = SidSize(userSid, sidAvailable);
  if (userSidSize == 0) return 0;
  uint8_t* acl = out + kDescriptorHeaderSize;
  uint8_t* end = acl + kAclHeaderSize;
  end = AppendAce(end, userSid, userSidSize);
  end = AppendAce(end, kSystemSid, sizeof kSystemSid);
  end = AppendAce(end, kAdministratorsSid, sizeof kAdministratorsSid);

  acl[0] = kAclRevision;
  acl[1] = 0;
  StoreU16(acl + 2, static_cast<uint16_t>(end - acl));
  StoreU16(acl + 4, 3);  // ACEs
  StoreU16(acl + 6, 0);

  out[0] = kDescriptorRevision;
  out[1] = 0;
  StoreU16(out + 2, kDescriptorControl);
  StoreU32(out + 4, 0);   // no owner: the system gives the creator's default
  StoreU32(out + 8, 0);   // no group
  StoreU32(out + 12, 0);  // no audit list
  StoreU32(out + 16, static_cast<uint32_t>(kDescriptorHeaderSize));
  return static_cast<size_t>(end - out);
}
