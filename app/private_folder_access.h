// Who may use the installer wrapper's private folder: the running user,
// SYSTEM and the Administrators group, each with full access that the
// folder's files and subfolders inherit; nobody else, and nothing inherited
// from the folder above (a shared temporary folder lets every user in).
// Built here as a self-relative security descriptor, byte for byte, so that
// the stub needs no security calls beyond reading its own user's SID.
// Portable, so the layout is tested natively.
#pragma once

#include <cstddef>
#include <cstdint>

// A SID holds at most 15 sub-authorities: 8 + 4 * 15 bytes.
constexpr size_t kMaxSidSize = 68;
// The descriptor header, the ACL header and three ACEs of at most 8 + kMaxSidSize bytes.
constexpr size_t kPrivateFolderDescriptorCapacity = 20 + 8 + 3 * (8 + kMaxSidSize);

// The size of the SID that begins at `sid` (revision 1, at most 15
// sub-authorities, all within `available` bytes), or 0 when it is none.
size_t SidSize(const uint8_t* sid, size_t available);

// Writes the descriptor for the user whose SID is `userSid` into `out`
// (kPrivateFolderDescriptorCapacity bytes) and returns its size; 0 when the
// SID is not a valid one.
size_t BuildPrivateFolderDescriptor(const uint8_t* userSid, size_t sidAvailable, uint8_t* out);
