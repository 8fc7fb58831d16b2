"""Shared steps of the robustness runs: real self-extracting files made by the
host kaito with the built stub, run under Wine by sweep_runner.exe (which
answers every window and records what each run showed), then judged from
the outside: what the stub said, what it left in its destination, and
whether anything appeared anywhere else.
"""
import os
import shutil
import struct
import subprocess

# Texts the stub shows (UTF-8 here; Shift-JIS inside the stub), by the
# outcome name used in reports.
MESSAGES = {
    "ファイルの解凍を完了しました": "done",
    "解凍データが壊れています。": "damaged-data",
    "ファイルの解凍が開始できません": "cannot-start",
    "解凍後のファイルが作成できません。\\n解凍処理を中断します": "cannot-create-file",
    "データの読み取り中にエラーが発生しました。\\n解凍処理を中断します": "read-failure",
    "データの書き込み中にエラーが発生しました。\\n解凍処理を中断します": "write-failure",
    "自己解凍ファイルのデータが壊れています。\\n解凍処理を中断します": "corrupt-archive",
    "メモリ不足のため、解凍処理を続行できません": "out-of-memory",
    "フォルダが作成できません": "cannot-create-folder",
    "同名のファイルが存在するため、フォルダを作成できません": "file-blocks-folder",
}

# The stub's exit code after the last message of a run (Windows' error
# numbers); a run that shows none ended Done.  A write failure on a full disk
# gives 112 instead of 29.
EXIT_CODES = {
    "done": 0,
    "damaged-data": 13,            # ERROR_INVALID_DATA
    "cannot-create-file": 82,      # ERROR_CANNOT_MAKE
    "read-failure": 30,            # ERROR_READ_FAULT
    "write-failure": 29,           # ERROR_WRITE_FAULT
    "corrupt-archive": 1392,       # ERROR_FILE_CORRUPT
    "out-of-memory": 8,            # ERROR_NOT_ENOUGH_MEMORY
}


def expected_exit_code(names):
    """The exit code (8 hex digits, as sweep_runner prints it) that a run
    showing these outcome names must end with; None for a run that ended in
    no known way."""
    last = names[-1] if names and names[-1] != "dialog" else "done"
    code = EXIT_CODES.get(last)
    return None if code is None else "%08x" % code


ARCHIVE_HEADER_SIZE = 16
ENTRY_HEADER_SIZE = 24
TRAILER_SIZE = 4
MAX_FOLLOW_UP_LENGTH = 259
# The integrity record in front of the trailer: entry checks (8 bytes each),
# then a 24-byte footer: marker, entryCount, paddingSize, startCheck,
# recordCheck (XXH32 of the record's bytes in front of it).
RECORD_MARKER = b"kaitoSum"
RECORD_MARKER_QUORUM = 5
FOOTER_SIZE = 24
ENTRY_CHECK_SIZE = 8


def xxh32(data, seed=0):
    """XXH32, written out here so that the judge does not depend on the
    Python the sweep runs under."""
    p1, p2, p3, p4, p5 = 0x9E3779B1, 0x85EBCA77, 0xC2B2AE3D, 0x27D4EB2F, 0x165667B1
    m = 0xFFFFFFFF

    def rotl(x, r):
        return ((x << r) | (x >> (32 - r))) & m

    def round_(acc, word):
        return rotl((acc + word * p2) & m, 13) * p1 & m

    n, i = len(data), 0
    if n >= 16:
        v = [(seed + p1 + p2) & m, (seed + p2) & m, seed & m, (seed - p1) & m]
        while i + 16 <= n:
            for lane in range(4):
                v[lane] = round_(v[lane], struct.unpack_from("<I", data, i + 4 * lane)[0])
            i += 16
        h = (rotl(v[0], 1) + rotl(v[1], 7) + rotl(v[2], 12) + rotl(v[3], 18)) & m
    else:
        h = (seed + p5) & m
    h = (h + n) & m
    while i + 4 <= n:
        h = rotl((h + struct.unpack_from("<I", data, i)[0] * p3) & m, 17) * p4 & m
        i += 4
    while i < n:
        h = rotl((h + data[i] * p5) & m, 11) * p1 & m
        i += 1
    h ^= h >> 15
    h = h * p2 & m
    h ^= h >> 13
    h = h * p3 & m
    return h ^ (h >> 16)


def record_place(data, locator):
    """Where a reader takes the integrity record to lie in these (possibly
    damaged) bytes of an unsigned file, as the stub judges it: None when
    there is no record (no marker), "corrupt" when one is present but does
    not fit or fails its own checksum, else (recordStart, entriesEnd)."""
    trailer = len(data) - TRAILER_SIZE
    if trailer - locator < ARCHIVE_HEADER_SIZE + FOOTER_SIZE:
        return None
    footer = trailer - FOOTER_SIZE
    if sum(a == b for a, b in zip(data[footer:footer + 8], RECORD_MARKER)) < RECORD_MARKER_QUORUM:
        return None
    count, padding = struct.unpack_from("<II", data, footer + 8)
    _, _, header_count, _, name_len, args_len, _ = struct.unpack_from("<HHHHHHI", data, locator)
    strings = name_len + args_len if name_len else 0
    size = count * ENTRY_CHECK_SIZE + FOOTER_SIZE
    if count != header_count or padding >= 8 or locator + ARCHIVE_HEADER_SIZE + strings + padding + size > trailer:
        return "corrupt"
    start = trailer - size
    if xxh32(data[start:trailer - 4]) != struct.unpack_from("<I", data, trailer - 4)[0]:
        return "corrupt"
    return start, start - padding


def winpath(path):
    """The Z:\\ path under which Wine sees a Linux path."""
    return "Z:" + os.path.abspath(path).replace("/", "\\")


# ---------------------------------------------------------------- archives

class Layout:
    """Where the pieces of a self-extracting file lie (absolute offsets)."""

    def __init__(self, data):
        self.size = len(data)
        self.locator, = struct.unpack_from("<I", data, self.size - TRAILER_SIZE)
        L = self.locator
        (magic, header_size, self.entry_count, self.automatic, name_len, args_len,
         self.required_size) = struct.unpack_from("<HHHHHHI", data, L)
        assert magic == 0x4C41 and header_size == ARCHIVE_HEADER_SIZE, "not an archive"
        pos = L + ARCHIVE_HEADER_SIZE
        if name_len:
            pos += name_len + args_len
        self.strings_end = pos
        self.entries = []  # (start, name_start, data_start, end, name bytes, stored)
        for _ in range(self.entry_count):
            _, word = struct.unpack_from("<HH", data, pos)
            size, = struct.unpack_from("<I", data, pos + 20)
            name_start = pos + ENTRY_HEADER_SIZE
            data_start = name_start + (word & 0x7FFF)
            end = data_start + size
            self.entries.append((pos, name_start, data_start, end,
                                 data[name_start:data_start], bool(word & 0x8000)))
            pos = end
        self.trailer = self.size - TRAILER_SIZE
        # Files from before the record end their entries at the trailer.
        place = record_place(data, L)
        assert place != "corrupt", "damaged integrity record"
        self.record_start, self.entries_end = place if place else (self.trailer, self.trailer)
        assert pos == self.entries_end, "gap before the trailer or the record"

    def entry_at(self, offset):
        """Index of the entry that holds `offset`, or None (header, trailer)."""
        for i, (start, _, _, end, _, _) in enumerate(self.entries):
            if start <= offset < end:
                return i
        return None

    def region(self, offset):
        """A short name of what lies at `offset`, for the reports."""
        L = self.locator
        if offset >= self.trailer:
            return "trailer"
        if offset >= self.trailer - FOOTER_SIZE and self.record_start < self.trailer:
            return "record.footer"
        if offset >= self.record_start:
            return "record.entry-checks"
        if offset >= self.entries_end:
            return "record.padding"
        if offset < L + ARCHIVE_HEADER_SIZE:
            fields = ["magic", "magic", "headerSize", "headerSize", "entryCount", "entryCount",
                      "automaticMode", "automaticMode", "followUpNameLength", "followUpNameLength",
                      "followUpArgsLength", "followUpArgsLength"] + ["requiredSize"] * 4
            return "header." + fields[offset - L]
        if offset < self.strings_end:
            return "follow-up strings"
        i = self.entry_at(offset)
        start, name_start, data_start, _, _, stored = self.entries[i]
        if offset < name_start:
            rel = offset - start
            field = ("magic" if rel < 2 else "nameWord" if rel < 4 else "creationTime" if rel < 12
                     else "lastWriteTime" if rel < 20 else "dataSize")
            return "entry.%s" % field
        if offset < data_start:
            return "entry.name"
        if stored:
            return "entry.stored-data"
        rel = offset - data_start
        return ("entry.block-magic" if rel < 4 else "entry.block-decodedSize" if rel < 8
                else "entry.block-bitStreamSize" if rel < 12 else "entry.block-literalTable" if rel < 268
                else "entry.block-bitStream")


def summary_of(data, locator):
    """What the stub's start-up summary reads from (possibly damaged) bytes:
    (readable, automatic, requiredSize); the same checks as the reader's,
    the integrity record's place and own checksum included."""
    size = len(data)
    if size < TRAILER_SIZE or struct.unpack_from("<I", data, size - TRAILER_SIZE)[0] != locator:
        return False, False, 0
    if size < locator + ARCHIVE_HEADER_SIZE + TRAILER_SIZE:
        return False, False, 0
    magic, header_size, _, automatic, name_len, args_len, required = struct.unpack_from(
        "<HHHHHHI", data, locator)
    if magic != 0x4C41 or header_size != ARCHIVE_HEADER_SIZE:
        return False, False, 0
    if name_len > MAX_FOLLOW_UP_LENGTH or (name_len > 0 and args_len > MAX_FOLLOW_UP_LENGTH):
        return False, False, 0
    if record_place(data, locator) == "corrupt":
        return False, False, 0
    return True, automatic != 0, required


# ------------------------------------------------------------------ trees

def read_tree(root):
    """{relative path with '\\': bytes} of every file below `root`."""
    found = {}
    for folder, _, files in os.walk(root):
        for name in files:
            path = os.path.join(folder, name)
            rel = os.path.relpath(path, root).replace(os.sep, "\\")
            with open(path, "rb") as f:
                found[rel] = f.read()
    return found


def snapshot(root, skip=()):
    """{path: (kind, size, mtime)} of everything below `root`, leaving out
    the folders in `skip` (absolute paths) and what lies below them."""
    state = {}
    skip = {os.path.abspath(s) for s in skip}
    for folder, dirs, files in os.walk(root):
        dirs[:] = [d for d in dirs if os.path.join(folder, d) not in skip]
        for name in dirs + files:
            path = os.path.join(folder, name)
            try:
                st = os.lstat(path)
            except FileNotFoundError:
                continue
            kind = "dir" if name in dirs else "file"
            state[path] = (kind, 0 if kind == "dir" else st.st_size,
                           0 if kind == "dir" else st.st_mtime_ns)
    return state


def changes(before, after):
    """Paths that appeared, vanished or changed between two snapshots."""
    out = []
    for path in sorted(set(before) | set(after)):
        if path not in before:
            out.append("new " + path)
        elif path not in after:
            out.append("gone " + path)
        elif before[path] != after[path]:
            out.append("changed " + path)
    return out


# ---------------------------------------------------------------- running

class Wine:
    """Runs sweep_runner.exe in one Wine prefix."""

    def __init__(self, runner, prefix):
        self.runner = runner
        self.env = dict(os.environ)
        self.env.update(WINEPREFIX=prefix, WINEARCH="win32", LC_ALL="ja_JP.UTF-8",
                        WINEDEBUG=os.environ.get("WINEDEBUG", "-all"),
                        WINEDLLOVERRIDES=os.environ.get("WINEDLLOVERRIDES", "mscoree,mshtml="))
        self.prefix = prefix
        # A persistent server for the prefix (unless one runs already): each
        # batch's Wine start is then quick.  It ends by itself a minute after
        # its last program.
        subprocess.run(["wineserver", "-p", "60"], env=self.env, stdout=subprocess.DEVNULL,
                       stderr=subprocess.DEVNULL)

    def drive_c(self):
        return os.path.join(self.prefix, "drive_c")

    def run_cases(self, cases, folder, limit_ms):
        """Runs [(id, program, temp folder, dialog folder or None, options)]
        and answers {id: (exit code, ms, [events])}."""
        manifest = os.path.join(folder, "manifest.txt")
        results = os.path.join(folder, "results.txt")
        with open(manifest, "w", encoding="utf-8") as f:
            for case_id, program, temp, dialog, options in cases:
                fields = [case_id, winpath(program), winpath(temp) + "\\",
                          winpath(dialog) if dialog else "-"] + list(options)
                f.write("\t".join(fields) + "\n")
        budget = (limit_ms / 1000.0 + 30) * len(cases) + 60
        for attempt in (1, 2):
            if os.path.exists(results):
                os.remove(results)
            # The runner's messages go to a file, not a pipe: a wineserver or
            # Wine service that this start brings up inherits the descriptor
            # and lives on, and a pipe would then never report its end.
            errors_path = os.path.join(folder, "runner-errors.txt")
            try:
                with open(errors_path, "wb") as errors:
                    done = subprocess.run(["wine", self.runner, winpath(manifest), winpath(results),
                                           str(limit_ms)], env=self.env, stdout=subprocess.DEVNULL,
                                          stderr=errors, timeout=budget)
                with open(errors_path, "rb") as errors:
                    error_text = errors.read().decode(errors="replace")[-2000:]
                failure = None if done.returncode == 0 else "exit code %d: %s" % (
                    done.returncode, error_text)
            except subprocess.TimeoutExpired:
                failure = "no end within %.0f s" % budget
            if failure is None:
                break
            # Wine itself can fail to start the runner, or stall, while the
            # prefix is busy; once more, then give up loudly.
            print("sweep_runner: %s (attempt %d)" % (failure, attempt), flush=True)
            if attempt == 2:
                raise RuntimeError("sweep_runner failed: " + failure)
        answers = {}
        with open(results, encoding="utf-8") as f:
            for line in f:
                fields = line.rstrip("\n").split("\t")
                answers[fields[0]] = (fields[1], int(fields[2]), fields[3:])
        return answers


def outcome_names(events):
    """The run's events as outcome names: 'dialog', the message names of
    MESSAGES, 'question', 'hang', 'unknown-box:TEXT', 'window:CAPTION'."""
    names = []
    for event in events:
        if event.startswith("box:"):
            text = event[4:]
            names.append(MESSAGES.get(text, "unknown-box:" + text))
        else:
            names.append(event)
    return names


def copy_prefix(source, target):
    """A private copy of a Wine prefix, so that nothing else writes into the
    drive that a run inspects (made once, kept for later runs)."""
    if os.path.exists(os.path.join(target, ".kaito-private")):
        return
    if os.path.exists(target):
        shutil.rmtree(target)
    subprocess.run(["cp", "-a", source, target], check=True)
    open(os.path.join(target, ".kaito-private"), "w").close()


def lingering(ids, wait_s=5.0):
    """Linux processes of the given case ids (their program files are named
    after them) still alive `wait_s` after the runner has seen them end: a
    thread that outlives its process, invisible to Wine's own bookkeeping."""
    import time
    prefixes = {case_id[:15] for case_id in ids}
    deadline = time.time() + wait_s
    while True:
        found = []
        for pid in os.listdir("/proc"):
            if not pid.isdigit():
                continue
            try:
                with open("/proc/%s/comm" % pid) as f:
                    comm = f.read().strip()
            except OSError:
                continue
            if comm[:15] in prefixes or comm.replace(".exe", "")[:15] in prefixes:
                found.append((int(pid), comm))
        if not found or time.time() > deadline:
            return found
        time.sleep(0.5)

