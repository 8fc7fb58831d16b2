#include "tools/cli/commands.h"

const char* const kMainHelp =
    "usage: kaito COMMAND [OPTIONS] ...\n"
    "\n"
    "Makes and inspects self-extracting files for Windows.\n"
    "\n"
    "commands:\n"
    "  create -o OUT.exe [options] INPUT...   pack files and folders behind the stub\n"
    "  list FILE.exe                          show the entries and the header\n"
    "  test FILE.exe                          read and decode everything, check the layout\n"
    "  extract FILE.exe [-C DIR]              unpack on this computer\n"
    "\n"
    "  kaito COMMAND --help    options of one command\n"
    "  kaito --version         the version\n"
    "\n"
    "Exit status: 0 on success, 1 on failure, 2 for a wrong command line.\n";

const char* const kCreateHelp =
    "usage: kaito create -o OUT.exe [options] INPUT...\n"
    "\n"
    "Packs the files and folders (recursively) into a self-extracting file.\n"
    "Entry names are paths relative to each INPUT's parent folder, or to DIR\n"
    "with -C DIR, written with '\\' and in code page 932 (Shift-JIS).  Empty\n"
    "folders cannot be stored and are skipped with a note.\n"
    "\n"
    "options:\n"
    "  -o, --output FILE    the self-extracting file to write\n"
    "  --auto               extract without asking (to a temporary folder)\n"
    "  --run PROGRAM        start PROGRAM (relative to the destination) afterwards\n"
    "  --run-args TEXT      extra command-line text for PROGRAM\n"
    "  --level N, -N        0 stores everything, 1 fastest, 6 default, 9 smallest\n"
    "  --stub FILE          use another stub instead of the built-in one\n"
    "  --store-ext LIST     store files with these extensions without compressing\n"
    "                       (comma-separated; default: 7z,zip,png,jpg,mp3,... ;\n"
    "                       --store-ext '' compresses everything)\n"
    "  -C, --directory DIR  take INPUTs inside DIR and name entries relative to it\n"
    "                       (\"-C dist .\" packs the contents of dist)\n"
    "  -q, --quiet          no progress bar\n"
    "  --icon FILE.ico      give the file this icon (every image of the .ico)\n"
    "  --version-info KEY=VALUE\n"
    "                       a text of the file's version record, repeatable; keys:\n"
    "                       ProductName, CompanyName, FileDescription, FileVersion,\n"
    "                       ProductVersion, LegalCopyright, OriginalFilename\n"
    "                       (FileVersion and ProductVersion: 1 to 4 dotted numbers)\n"
    "\n"
    "A file whose compressed form would not be smaller is stored as it is.\n"
    "\n"
    "example:\n"
    "  kaito create -o setup.exe --run setup\\install.exe dist/setup\n";

const char* const kListHelp =
    "usage: kaito list FILE.exe\n"
    "\n"
    "Prints every entry (stored or compressed, size, packed size, creation and\n"
    "last-write time in UTC, name), then the header: automatic mode, follow-up\n"
    "program and arguments, required size.\n";

const char* const kTestHelp =
    "usage: kaito test [--quiet] FILE.exe\n"
    "\n"
    "Reads and decodes every entry and checks that the trailer matches the\n"
    "stub's locator, that the required size equals the files' total, and that\n"
    "nothing lies between the last entry and the trailer.  Exit status 0 only\n"
    "when everything holds.\n";

const char* const kExtractHelp =
    "usage: kaito extract FILE.exe [-C DIR] [--overwrite] [--quiet]\n"
    "\n"
    "Unpacks every entry below DIR (default: the current folder), creating\n"
    "folders and applying the stored times where this system allows.  Names\n"
    "that would leave DIR are refused, as the stub refuses them.  Existing\n"
    "files are kept and the command fails, unless --overwrite is given.\n";
