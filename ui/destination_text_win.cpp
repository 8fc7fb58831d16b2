#include "ui/destination_text.h"

#include <windows.h>

#include "ui/ui_texts.h"
#include "ui/window_helpers.h"

void FormatDestinationMessage(char* out, const char* name, uint32_t requiredSize) {
  if (requiredSize == 0) {
    wsprintfA(out, kFormatDestinationLine, name);
    return;
  }
  const uint32_t hundredths = SizeInMibHundredths(requiredSize);
  wsprintfA(out, kFormatDestinationLineWithSize, name, hundredths / 100, hundredths % 100);
}
