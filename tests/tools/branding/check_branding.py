#!/usr/bin/env python3
"""kaito create --icon / --version-info / --execution-level, read back by an
independent PE reader (pefile): the new icon group and its images, the
version texts and numbers, the manifest's level, every other resource and
section as in the stub, the relocations moved, the locator equal to the
trailer, the PE checksum over the whole file; kaito list and test still read
the file, also once osslsigncode has signed it; bad input fails with one
message and leaves no output file.

    check_branding.py KAITO STUB

Exit status 77 (a skip for CTest) when pefile is missing.
"""
import os
import struct
import subprocess
import sys
import tempfile

try:
    import pefile
except ImportError:
    print("SKIP: Python's pefile is missing (Debian package python3-pefile)")
    sys.exit(77)

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import make_test_icon  # noqa: E402

RT_ICON, RT_GROUP_ICON, RT_VERSION, RT_MANIFEST = 3, 14, 16, 24
failures = []


def check(condition, what):
    if not condition:
        failures.append(what)
        print("FAIL:", what)


def resources(pe):
    """{(type, id): (language, bytes)} of every resource; named types by name."""
    found = {}
    for type_entry in pe.DIRECTORY_ENTRY_RESOURCE.entries:
        kind = str(type_entry.name) if type_entry.name is not None else type_entry.id
        for id_entry in type_entry.directory.entries:
            for language in id_entry.directory.entries:
                data = pe.get_data(language.data.struct.OffsetToData, language.data.struct.Size)
                found[(kind, id_entry.id)] = (language.id, data)
    return found


def section(pe, name):
    return next(s for s in pe.sections if s.Name.rstrip(b"\0") == name)


def version_texts(pe):
    texts, translation = {}, None
    for info in pe.FileInfo[0]:
        if info.Key == b"StringFileInfo":
            for table in info.StringTable:
                texts = {k.decode(): v.decode() for k, v in table.entries.items()}
        if info.Key == b"VarFileInfo":
            translation = info.Var[0].entry[b"Translation"]
    return texts, translation


def run(kaito, *args):
    return subprocess.run([kaito, *args], capture_output=True, text=True)


def check_branded(kaito, stub_path, work):
    ico = os.path.join(work, "brand.ico")
    with open(ico, "wb") as f:
        f.write(make_test_icon.ico_file())
    texts = {"ProductName": "テスト製品", "CompanyName": "Example 株式会社", "FileDescription": "Setup of Example",
             "FileVersion": "1.2.3", "ProductVersion": "4.5.6.7", "LegalCopyright": "(c) 2026 Example",
             "OriginalFilename": "setup.exe"}
    out = os.path.join(work, "branded.exe")
    args = ["create", "--quiet", "--stub", stub_path, "-o", out, "--icon", ico]
    for key, value in texts.items():
        args += ["--version-info", f"{key}={value}"]
    result = run(kaito, *args, os.path.join(work, "payload"))
    check(result.returncode == 0, f"create with --icon and --version-info: {result.stderr}")
    if result.returncode != 0:
        return

    stub, branded = pefile.PE(stub_path), pefile.PE(out)
    old, new = resources(stub), resources(branded)

    # The icon group: one entry per image of the .ico, each naming an icon
    # that holds the image's bytes; the stub's own icons are gone.
    language, group = new[(RT_GROUP_ICON, 130)]
    check(language == 0x411, f"icon group language {language:#x}")
    reserved, kind, count = struct.unpack_from("<HHH", group)
    images = make_test_icon.icon_images()
    check((reserved, kind, count) == (0, 1, len(images)), f"icon group header {reserved, kind, count}")
    ids = []
    for i, (side, bits, data) in enumerate(images):
        width, height, colours, _, planes, bit_count, size, icon_id = struct.unpack_from("<BBBBHHIH", group, 6 + 14 * i)
        check((width, height, planes, bit_count, size) == (side, side, 1, bits, len(data)),
              f"group entry {i}: {(width, height, planes, bit_count, size)}")
        check(new.get((RT_ICON, icon_id), (0, b""))[1] == data, f"icon {icon_id} does not hold image {i}")
        ids.append(icon_id)
    check(sorted(k[1] for k in new if k[0] == RT_ICON) == sorted(ids), "icons outside the group remain")

    # The version record: exactly the given texts, numbers from the dotted strings.
    got, translation = version_texts(branded)
    _, old_translation = version_texts(stub)
    check(got == texts, f"version texts {got}")
    check(translation == old_translation, f"translation {translation}, the stub's {old_translation}")
    fixed = branded.VS_FIXEDFILEINFO[0]
    check((fixed.FileVersionMS, fixed.FileVersionLS) == (0x10002, 0x30000), "numeric file version")
    check((fixed.ProductVersionMS, fixed.ProductVersionLS) == (0x40005, 0x60007), "numeric product version")
    check(fixed.FileType == stub.VS_FIXEDFILEINFO[0].FileType, "file type")
    check(new[(RT_VERSION, 1)][0] == 0x411, "version record language")

    # Everything else the stub holds is unchanged (the locator is checked below).
    for key, value in old.items():
        if key[0] not in (RT_ICON, RT_GROUP_ICON, RT_VERSION, "VAL"):
            check(new.get(key) == value, f"resource {key} changed")

    # Sections in front of the resources are the same bytes at the same
    # places; the relocations moved behind the grown resource section.
    rsrc = section(branded, b".rsrc")
    for old_section, new_section in zip(stub.sections, branded.sections):
        if old_section.VirtualAddress < rsrc.VirtualAddress:
            check(old_section.get_data() == new_section.get_data() and
                  old_section.PointerToRawData == new_section.PointerToRawData,
                  f"section {old_section.Name} changed")
    align = branded.OPTIONAL_HEADER.SectionAlignment
    reloc = section(branded, b".reloc")
    check(reloc.VirtualAddress == (rsrc.VirtualAddress + rsrc.Misc_VirtualSize + align - 1) // align * align,
          "relocations right behind the resources")
    check(reloc.get_data() == section(stub, b".reloc").get_data(), "relocation bytes changed")
    relocs = branded.OPTIONAL_HEADER.DATA_DIRECTORY[5]
    check(relocs.VirtualAddress == reloc.VirtualAddress, "relocation directory does not follow its section")
    last = branded.sections[-1]
    check(branded.OPTIONAL_HEADER.SizeOfImage ==
          (last.VirtualAddress + last.Misc_VirtualSize + align - 1) // align * align, "SizeOfImage")
    check([b.struct.VirtualAddress for b in branded.DIRECTORY_ENTRY_BASERELOC] ==
          [b.struct.VirtualAddress for b in stub.DIRECTORY_ENTRY_BASERELOC], "relocation blocks differ")
    check(branded.OPTIONAL_HEADER.CheckSum == branded.generate_checksum(), "PE checksum of the whole file")

    # The locator: the branded stub's length, repeated by the trailer.
    stub_end = last.PointerToRawData + last.SizeOfRawData
    locator = struct.unpack("<I", new[("VAL", 133)][1])[0]
    with open(out, "rb") as f:
        whole = f.read()
    check(locator == stub_end and struct.unpack("<I", whole[-4:])[0] == locator,
          f"locator {locator}, stub ends at {stub_end}, trailer {whole[-4:].hex()}")

    for command in ("list", "test"):
        result = run(kaito, command, out)
        check(result.returncode == 0, f"kaito {command}: {result.stderr}")
    check("payload\\hello.txt" in run(kaito, "list", out).stdout, "kaito list lacks the entry")
    check_signed(kaito, out, work, "テスト製品")


def check_signed(kaito, branded, work, product_name=None):
    """The branded file signs and verifies, and kaito reads it signed; the key is thrown away with `work`."""
    key, cert = os.path.join(work, "key.pem"), os.path.join(work, "cert.pem")
    made = subprocess.run(["openssl", "req", "-x509", "-newkey", "rsa:2048", "-nodes", "-keyout", key, "-out", cert,
                           "-days", "2", "-subj", "/CN=kaito branding test"], capture_output=True, text=True)
    check(made.returncode == 0, f"openssl could not make a key: {made.stderr}")
    signed = branded[:-len(".exe")] + "-signed.exe"
    result = subprocess.run(["osslsigncode", "sign", "-certs", cert, "-key", key, "-n", "Branded test",
                             "-in", branded, "-out", signed], capture_output=True, text=True)
    check(result.returncode == 0, f"osslsigncode sign: {result.stdout}{result.stderr}")
    if result.returncode != 0:
        return
    result = subprocess.run(["osslsigncode", "verify", "-CAfile", cert, signed], capture_output=True, text=True)
    check(result.returncode == 0, f"osslsigncode verify: {result.stdout[-300:]}")
    listed = run(kaito, "list", signed)
    check(listed.returncode == 0 and "signed: yes" in listed.stdout, f"kaito list of the signed file: {listed.stderr}")
    tested = run(kaito, "test", signed)
    check(tested.returncode == 0 and "content verified" in tested.stdout, f"kaito test of the signed file: {tested.stdout}{tested.stderr}")
    signed_pe = pefile.PE(signed)
    check(signed_pe.OPTIONAL_HEADER.CheckSum == signed_pe.generate_checksum(), "the signed file's PE checksum")
    if product_name is not None:
        texts, _ = version_texts(signed_pe)
        check(texts.get("ProductName") == product_name, "the signed file's version texts")


def check_execution_level(kaito, stub_path, work):
    """--execution-level changes the level attribute of the manifest and nothing else in it."""
    out = os.path.join(work, "elevated.exe")
    result = run(kaito, "create", "--quiet", "--stub", stub_path, "-o", out,
                 "--execution-level", "requireAdministrator", os.path.join(work, "payload"))
    check(result.returncode == 0, f"create with --execution-level: {result.stderr}")
    if result.returncode != 0:
        return
    old = resources(pefile.PE(stub_path))[(RT_MANIFEST, 1)]
    new = resources(pefile.PE(out))[(RT_MANIFEST, 1)]
    expected = old[1].replace(b'level="asInvoker"', b'level="requireAdministrator"')
    check(b'level="asInvoker"' in old[1] and new == (old[0], expected), f"manifest: {new[1][:400]!r}")
    listed = run(kaito, "list", out)
    check("execution level: requireAdministrator" in listed.stdout, f"kaito list: {listed.stdout}")
    check_signed(kaito, out, work)


def check_unbranded(kaito, stub_path, work):
    """Without the options the stub is written unchanged except for the locator
    and the PE checksum, which covers the whole file."""
    out = os.path.join(work, "plain.exe")
    result = run(kaito, "create", "--quiet", "--stub", stub_path, "-o", out, os.path.join(work, "payload"))
    check(result.returncode == 0, f"plain create: {result.stderr}")
    with open(stub_path, "rb") as f:
        stub = f.read()
    with open(out, "rb") as f:
        head = bytearray(f.read()[:len(stub)])
    pe = pefile.PE(data=stub)
    language = [e for e in pe.DIRECTORY_ENTRY_RESOURCE.entries if str(e.name) == "VAL"][0].directory.entries[0]
    at = pe.get_offset_from_rva(language.directory.entries[0].data.struct.OffsetToData)
    check(struct.unpack_from("<I", head, at)[0] == len(stub), "plain locator")
    head[at:at + 4] = bytes(4)
    checksum_at = pe.OPTIONAL_HEADER.get_field_absolute_offset("CheckSum")
    head[checksum_at:checksum_at + 4] = stub[checksum_at:checksum_at + 4]
    check(bytes(head) == stub, "plain output changed the stub beyond its locator and checksum")
    written = pefile.PE(out)
    check(written.OPTIONAL_HEADER.CheckSum == written.generate_checksum(), "plain output's PE checksum")
    check_older_checksum(kaito, out, at, checksum_at, work)


def check_older_checksum(kaito, made, locator_at, checksum_at, work):
    """An older kaito copied the stub's own PE checksum (made with the locator
    0) into its files: kaito test takes it for the stub part, and a changed
    stub byte is still found."""
    with open(made, "rb") as f:
        data = bytearray(f.read())
    stub_length = struct.unpack_from("<I", data, locator_at)[0]
    stub = bytearray(data[:stub_length])
    stub[locator_at:locator_at + 4] = bytes(4)
    data[checksum_at:checksum_at + 4] = struct.pack("<I", pefile.PE(data=bytes(stub)).generate_checksum())
    older = os.path.join(work, "older.exe")
    with open(older, "wb") as f:
        f.write(data)
    tested = run(kaito, "test", older)
    check(tested.returncode == 0 and "content verified (" in tested.stdout, f"older checksum: {tested.stdout}{tested.stderr}")
    data[0x500] ^= 1
    with open(older, "wb") as f:
        f.write(data)
    tested = run(kaito, "test", older)
    check(tested.returncode == 1 and "PE checksum" in tested.stderr, f"older checksum, changed stub: {tested.stderr}")


def check_refusals(kaito, stub_path, work):
    def make(name, data):
        path = os.path.join(work, name)
        with open(path, "wb") as f:
            f.write(data)
        return path
    text = make("notes.ico", b"just text, not an icon\n")
    huge = make("huge.ico", make_test_icon.ico_file() + bytes(1 << 20))
    good = make("good.ico", make_test_icon.ico_file())
    cases = [
        (["--icon", text], "not an .ico file"),
        (["--icon", huge], "larger than 1 MiB"),
        (["--icon", good, "--version-info", "Comments=hello"], "unknown key 'Comments'"),
        (["--version-info", "FileVersion=1.2.3.4.5"], "1 to 4 numbers"),
        (["--version-info", "ProductVersion=v2"], "1 to 4 numbers"),
        (["--version-info", "FileVersion=65536"], "1 to 4 numbers"),
        (["--icon", os.path.join(work, "missing.ico")], "missing.ico"),
    ]
    for extra, expected in cases:
        out = os.path.join(work, "refused.exe")
        result = run(kaito, "create", "--quiet", "--stub", stub_path, "-o", out, *extra, os.path.join(work, "payload"))
        lines = result.stderr.strip().splitlines()
        check(result.returncode == 1, f"{extra}: exit status {result.returncode}, expected 1")
        check(len(lines) == 1 and expected in lines[0], f"{extra}: message {result.stderr!r}")
        check(not os.path.exists(out) and not os.path.exists(out + ".kaito-partial"), f"{extra}: output left behind")


def main():
    kaito, stub_path = sys.argv[1], sys.argv[2]
    with tempfile.TemporaryDirectory() as work:
        os.mkdir(os.path.join(work, "payload"))
        with open(os.path.join(work, "payload", "hello.txt"), "w") as f:
            f.write("hello from the branded file\n" * 50)
        check_branded(kaito, stub_path, work)
        check_execution_level(kaito, stub_path, work)
        check_unbranded(kaito, stub_path, work)
        check_refusals(kaito, stub_path, work)
    if failures:
        print(f"{len(failures)} check(s) failed")
        return 1
    print("all checks passed")
    return 0


if __name__ == "__main__":
    sys.exit(main())
