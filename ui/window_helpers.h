// The arithmetic and byte work behind the window helpers, free of
// <windows.h> so the same code is tested natively and under Wine.
#pragma once

#include <cstdint>

#include "archive/lead_byte.h"

// Offset that centres an extent `inner` inside an extent `outer`:
// (outer - inner) / 2 as a signed division truncating toward zero, so a
// window larger than its reference gets a negative offset (-201 gives -100).
int CentredOffset(int outer, int inner);

// Index where the file name (with its extension) begins in `path`: behind a
// leading drive "X:" and behind the last "\" or "/".  A lead byte is taken
// together with the byte after it, so a trail byte 0x5C is never a separator.
int BaseNameStart(const char* path, LeadByteTest isLeadByte);

// Zero-based byte index of the first (last) occurrence of the low 8 bits of
// `character` in the terminated text, or -1 when it does not occur or the
// text is null.  Plain byte search, blind to double-byte characters.
int FindChar(const char* text, int character);
int FindLastChar(const char* text, int character);

// A byte count in hundredths of a MiB, to the nearest integer with an exact
// half going up.  Worked in 64 bits, so sizes of 2 GiB and more come out
// right (up to 409600 for the largest u32) where a 32-bit signed product
// would overflow; below 2 GiB it equals MulDiv(bytes, 100, 1048576).
uint32_t SizeInMibHundredths(uint32_t bytes);

// Whether a folder path needs a backslash appended to end in one: not when it
// is empty, nor when its last character is already a backslash.  The last
// backslash byte is found with FindLastChar; a 0x5C that is the trail byte of
// a double-byte character (as in "表" or "ソ") does not count as one.
bool NeedsTrailingBackslash(const char* path, LeadByteTest isLeadByte);
