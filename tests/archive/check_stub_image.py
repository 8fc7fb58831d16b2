#!/usr/bin/env python3
"""The built stub is a PE32 i386 GUI program of at most 28 KiB that imports only system DLLs,
asks for DEP and a randomised base with its relocations kept, and carries the
locator resource (type "VAL", id 133, 4 bytes, Japanese) and the group icon
130.  Reads the PE headers itself; usage: check_stub_image.py STUB."""
import struct
import sys

SYSTEM_DLLS = {"kernel32.dll", "user32.dll", "shell32.dll", "comctl32.dll", "msvcrt.dll",
               "gdi32.dll", "advapi32.dll", "ntdll.dll"}
RT_ICON, RT_GROUP_ICON = 3, 14
# Every self-extracting file carries the stub: it stays within 28 KiB.
MAX_STUB_BYTES = 28672
JAPANESE = 0x0411
RELOCS_STRIPPED = 0x0001                     # file header Characteristics
DYNAMIC_BASE, NX_COMPAT = 0x0040, 0x0100     # optional header DllCharacteristics
BASE_RELOCATION_DIRECTORY = 5


class Image:
    def __init__(self, data):
        self.data = data
        if data[:2] != b"MZ":
            raise SystemExit("no MZ header")
        self.pe = struct.unpack_from("<I", data, 0x3C)[0]
        if data[self.pe:self.pe + 4] != b"PE\0\0":
            raise SystemExit("no PE signature")
        self.machine, sections, _, _, _, optional_size, self.characteristics = struct.unpack_from(
            "<HHIIIHH", data, self.pe + 4)
        self.optional = self.pe + 24
        self.magic = self.u16(self.optional)
        self.subsystem = self.u16(self.optional + 68)
        self.dll_characteristics = self.u16(self.optional + 70)
        self.directory_count = self.u32(self.optional + 92)
        table = self.optional + optional_size
        self.sections = [struct.unpack_from("<IIII", data, table + 40 * i + 8) for i in range(sections)]

    def u16(self, offset):
        return struct.unpack_from("<H", self.data, offset)[0]

    def u32(self, offset):
        return struct.unpack_from("<I", self.data, offset)[0]

    def directory(self, index):
        if index >= self.directory_count:
            return 0, 0
        return struct.unpack_from("<II", self.data, self.optional + 96 + 8 * index)

    def offset(self, rva):
        for virtual_size, virtual_address, raw_size, raw_pointer in self.sections:
            if virtual_address <= rva < virtual_address + max(virtual_size, raw_size):
                return raw_pointer + rva - virtual_address
        raise SystemExit("RVA 0x%x lies in no section" % rva)

    def c_string(self, rva):
        start = self.offset(rva)
        return self.data[start:self.data.index(b"\0", start)].decode("ascii")

    def imports(self):
        rva, _ = self.directory(1)
        names = []
        while rva:
            descriptor = self.offset(rva)
            name_rva = self.u32(descriptor + 12)
            if name_rva == 0:
                break
            names.append(self.c_string(name_rva))
            rva += 20
        return names

    def resources(self):
        """{(type, name): [(language, size, file offset)]}; names are ints or strings."""
        root, _ = self.directory(2)
        found = {}

        def entries(directory_rva):
            at = self.offset(directory_rva)
            named, numbered = struct.unpack_from("<HH", self.data, at + 12)
            for i in range(named + numbered):
                name, target = struct.unpack_from("<II", self.data, at + 16 + 8 * i)
                if name & 0x80000000:
                    string_at = self.offset(root + (name & 0x7FFFFFFF))
                    length = self.u16(string_at)
                    name = self.data[string_at + 2:string_at + 2 + 2 * length].decode("utf-16-le")
                yield name, target

        for rtype, type_target in entries(root):
            for name, name_target in entries(root + (type_target & 0x7FFFFFFF)):
                for language, data_entry in entries(root + (name_target & 0x7FFFFFFF)):
                    data_rva, size = struct.unpack_from("<II", self.data, self.offset(root + data_entry))
                    found.setdefault((rtype, name), []).append((language, size, self.offset(data_rva)))
        return found


def check(path):
    with open(path, "rb") as f:
        image = Image(f.read())
    problems = []
    if len(image.data) > MAX_STUB_BYTES:
        problems.append("%d bytes, more than the %d a stub may have" % (len(image.data), MAX_STUB_BYTES))
    if image.machine != 0x14C or image.magic != 0x10B:
        problems.append("not PE32 i386 (machine 0x%x, magic 0x%x)" % (image.machine, image.magic))
    if image.subsystem != 2:
        problems.append("subsystem %d, not the Windows GUI (2)" % image.subsystem)
    foreign = [dll for dll in image.imports() if dll.lower() not in SYSTEM_DLLS]
    if foreign or not image.imports():
        problems.append("imports beyond the system DLLs: %s" % (foreign or "no import table"))
    if image.directory(13) != (0, 0):
        problems.append("has delay-loaded imports")
    for flag, name in ((NX_COMPAT, "DEP (NX_COMPAT)"), (DYNAMIC_BASE, "a randomised base (DYNAMIC_BASE)")):
        if not image.dll_characteristics & flag:
            problems.append("does not ask for %s: DllCharacteristics 0x%04x" % (name, image.dll_characteristics))
    if image.characteristics & RELOCS_STRIPPED or image.directory(BASE_RELOCATION_DIRECTORY)[1] == 0:
        problems.append("has no base relocations, so the system cannot move it")

    resources = image.resources()
    locator = resources.get(("VAL", 133), [])
    if [(language, size) for language, size, _ in locator] != [(JAPANESE, 4)]:
        problems.append("VAL 133 should be one 4-byte resource in language 0x0411: %s"
                        % [(hex(language), size) for language, size, _ in locator])
    group = resources.get((RT_GROUP_ICON, 130), [])
    if len(group) != 1:
        problems.append("group icon 130 missing")
    else:
        _, size, at = group[0]
        reserved, kind, count = struct.unpack_from("<HHH", image.data, at)
        icon_ids = [image.u16(at + 6 + 14 * i + 12) for i in range(count)]
        missing = [i for i in icon_ids if (RT_ICON, i) not in resources]
        if kind != 1 or count == 0 or size != 6 + 14 * count or missing:
            problems.append("group icon 130 is damaged (type %d, %d images, missing %s)" % (kind, count, missing))
    return problems


if __name__ == "__main__":
    if len(sys.argv) != 2:
        raise SystemExit("usage: check_stub_image.py STUB")
    problems = check(sys.argv[1])
    for problem in problems:
        print("%s: %s" % (sys.argv[1], problem))
    if problems:
        sys.exit(1)
    print("%s: %d bytes (at most %d), PE32 i386 GUI, system imports only, DEP and ASLR with relocations,"
          " VAL 133 and group icon 130 present" % (sys.argv[1], len(open(sys.argv[1], "rb").read()), MAX_STUB_BYTES))
