// Whether a byte starts a double-byte character: the one test every path and
// name walk takes, so a trail byte 0x5C is never read as a backslash.
#pragma once

#include <cstdint>

using LeadByteTest = bool (*)(uint8_t byte);

// Code page 932's lead bytes: the host tools judge names as the stub will.
bool IsShiftJisLeadByte(uint8_t byte);

// The running system's ANSI code page (Win32 only): the stub steps names the
// way CreateFileA will interpret them.
bool IsSystemLeadByte(uint8_t value);
