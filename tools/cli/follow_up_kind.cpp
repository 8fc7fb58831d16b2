#include "tools/cli/follow_up_kind.h"

#include "archive/archive_end.h"
#include "archive/archive_format.h"
#include "tools/cli/name_case.h"

namespace {

constexpr uint16_t kExecutableImage = 0x0002;  // file header characteristics
constexpr uint16_t kDllImage = 0x2000;
constexpr uint32_t kCharacteristicsField = 4 + 18;  // behind the signature, in the file header

enum class ImageKind { Program, Library, DosProgram, NoProgram };

ImageKind KindOf(const uint8_t* head, size_t size) {
  if (size < kPeOffsetField + 4 || head[0] != 'M' || head[1] != 'Z') return ImageKind::NoProgram;
  uint64_t pe = LoadU32(head + kPeOffsetField);
  if (pe > size || size - pe < kCharacteristicsField + 2 || LoadU32(head + pe) != kPeSignature)
    return ImageKind::DosProgram;
  uint16_t characteristics = LoadU16(head + pe + kCharacteristicsField);
  if ((characteristics & kDllImage) != 0 || (characteristics & kExecutableImage) == 0) return ImageKind::Library;
  return ImageKind::Program;
}

const char* const kWhatStarts = "the stub starts Windows programs and .bat or .cmd batch files";

}  // namespace

std::string FollowUpProblem(const std::string& name, const uint8_t* head, size_t size) {
  std::string base = name.substr(name.rfind('\\') + 1);
  size_t dot = base.rfind('.');
  std::string extension = dot == std::string::npos ? std::string() : CaseFoldedName(base.substr(dot + 1));
  if (extension == "MSI")
    return "a Windows Installer package is no program; the stub cannot start it (msiexec would have to): pack a "
           ".cmd file that runs msiexec /i with it, and name that with --run";
  if (extension == "BAT" || extension == "CMD") return std::string();
  switch (KindOf(head, size)) {
    case ImageKind::Program:
      if (dot == std::string::npos)
        return "a name without an extension: Windows would look for it with .exe appended; give it its .exe";
      return std::string();
    case ImageKind::Library:
      return std::string("a DLL, not a program; ") + kWhatStarts;
    case ImageKind::DosProgram:
      return std::string("a DOS program, which today's Windows cannot start; ") + kWhatStarts;
    case ImageKind::NoProgram:
      break;
  }
  return std::string("not a program the stub can start; ") + kWhatStarts;
}
