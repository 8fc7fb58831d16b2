// icon_probe: loads icon group 130 from a program file the way the stub loads
// its own (LoadIconA at the system's icon size), and at 16, 32 and 48 pixels
// through LoadImageA, and prints for each the size the system picked and the
// colour of its centre pixel:
//
//   icon_probe FILE.exe      ->  "default 32x32 00ff00", "16 16x16 ff0000", ...
//
// Exit code 0 when every icon loaded, 1 otherwise (a line says which).
#include <windows.h>

#include <cstdio>
#include <vector>

namespace {

constexpr int kIconGroup = 130;

// "WxH rrggbb" of an icon's colour bitmap, or false.
bool Describe(HICON icon, char* text, size_t size) {
  ICONINFO info{};
  if (icon == nullptr || !GetIconInfo(icon, &info)) return false;
  BITMAP bitmap{};
  GetObjectA(info.hbmColor, sizeof bitmap, &bitmap);
  BITMAPINFO request{};
  request.bmiHeader.biSize = sizeof request.bmiHeader;
  request.bmiHeader.biWidth = bitmap.bmWidth;
  request.bmiHeader.biHeight = -bitmap.bmHeight;  // top-down rows
  request.bmiHeader.biPlanes = 1;
  request.bmiHeader.biBitCount = 32;
  request.bmiHeader.biCompression = BI_RGB;
  std::vector<DWORD> pixels(static_cast<size_t>(bitmap.bmWidth) * static_cast<size_t>(bitmap.bmHeight));
  HDC screen = GetDC(nullptr);
  int rows = GetDIBits(screen, info.hbmColor, 0, static_cast<UINT>(bitmap.bmHeight), pixels.data(), &request,
                       DIB_RGB_COLORS);
  ReleaseDC(nullptr, screen);
  DeleteObject(info.hbmColor);
  DeleteObject(info.hbmMask);
  if (rows != bitmap.bmHeight) return false;
  DWORD centre = pixels[static_cast<size_t>(bitmap.bmHeight / 2 * bitmap.bmWidth + bitmap.bmWidth / 2)];
  std::snprintf(text, size, "%dx%d %06lx", static_cast<int>(bitmap.bmWidth), static_cast<int>(bitmap.bmHeight),
                static_cast<unsigned long>(centre & 0xFFFFFF));
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: icon_probe FILE.exe\n");
    return 2;
  }
  HMODULE module = LoadLibraryExA(argv[1], nullptr, LOAD_LIBRARY_AS_DATAFILE);
  if (module == nullptr) {
    std::printf("cannot load %s as a data file (error %lu)\n", argv[1], GetLastError());
    return 1;
  }
  int status = 0;
  char text[64];
  if (Describe(LoadIconA(module, MAKEINTRESOURCEA(kIconGroup)), text, sizeof text)) {
    std::printf("default %s\n", text);
  } else {
    std::printf("default: no icon\n");
    status = 1;
  }
  for (int side : {16, 32, 48}) {
    HANDLE image = LoadImageA(module, MAKEINTRESOURCEA(kIconGroup), IMAGE_ICON, side, side, LR_DEFAULTCOLOR);
    if (Describe(static_cast<HICON>(image), text, sizeof text)) {
      std::printf("%d %s\n", side, text);
    } else {
      std::printf("%d: no icon\n", side);
      status = 1;
    }
  }
  FreeLibrary(module);
  return status;
}
