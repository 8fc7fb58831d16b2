#include <windows.h>

#include "archive/lead_byte.h"

bool IsSystemLeadByte(uint8_t value) { return IsDBCSLeadByte(value) != FALSE; }
