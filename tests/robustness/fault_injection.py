#!/usr/bin/env python3
"""When the destination fails the stub (a file held open elsewhere, a path
too long, a full or read-only disk, a folder or a file in the way), the run
shows the alerts that failure calls for, ends with that failure's exit code
(never 0), and loses nothing that was already there or already
extracted.

Every case is a real self-extracting file made by the host kaito with the
built stub, run under Wine by sweep_runner.  The archives name a follow-up
program that is put in the destination beforehand (the follow-up recorder):
it is started only after a run that ended Done, so its record tells the
run's result from the outside.  A control case shows that it does.
The cases come in two groups (--group): "plain" needs nothing but Wine;
"disks" (a full disk, a read-only disk) needs file systems mounted for it,
and where mounting is not permitted its cases are skipped with a note and
the run ends with SKIP_EXIT, which CTest reports as a skip, not a pass.
"""
import argparse
import os
import random
import shutil
import subprocess
import sys

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import sweep_lib  # noqa: E402

RECORDER = "rec.exe"
RECORD = "followup-record.txt"
MAX_PATH_TEXT = 259  # bytes of text in the stub's output path buffer
SKIP_EXIT = 77       # the test's SKIP_RETURN_CODE


class Fault:
    """One case: the files packed (in archive order), how the destination is
    prepared, and what the run must show and leave."""

    def __init__(self, name, files, expected, interactive=False, follow_up=True):
        self.name = name
        self.files = files            # [(name below the top folder, bytes)]
        self.expected = expected      # outcome names the run must show, in order
        self.interactive = interactive
        self.follow_up = follow_up
        self.options = []
        self.temp = None              # temporary folder (automatic destination)
        self.dest = None              # where the files go (DestDir)
        self.intact = []              # names that must equal their source after the run
        self.absent = []              # names that must not exist after the run
        self.preserved = {}           # path -> bytes that must be unchanged (None: a folder)
        self.skip = None


def text(n, seed):
    r = random.Random(seed)
    return "".join("%d %s\n" % (i, r.choice(["alpha", "beta", "gamma"])) for i in range(n)).encode()


def write(path, data):
    os.makedirs(os.path.dirname(path), exist_ok=True)
    with open(path, "wb") as f:
        f.write(data)


def mount_tmpfs(where, size):
    os.makedirs(where, exist_ok=True)
    done = subprocess.run(["mount", "-t", "tmpfs", "-o", "size=%s" % size, "tmpfs", where],
                          stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    return done.returncode == 0


SMALL = [("a.txt", text(50, 1)), ("b.txt", text(60, 2)), ("c.txt", text(70, 3))]


def dest_of(work, f):
    return os.path.join(work, "dest", f.name)


def prepare(work, recorder, f, temp=None):
    """Makes the case's destination (by default under work/dest) and puts the
    follow-up recorder there when the case names it."""
    f.temp = temp or dest_of(work, f)
    f.dest = f.temp
    os.makedirs(f.temp, exist_ok=True)
    if f.follow_up:
        shutil.copy(recorder, os.path.join(f.dest, RECORDER))


def build_plain_faults(work, top, recorder):
    faults = []

    # Control: an intact run ends Done, so the follow-up recorder runs.
    f = Fault("control-intact", SMALL, [])
    prepare(work, recorder, f)
    f.intact = ["a.txt", "b.txt", "c.txt"]
    faults.append(f)

    # Another program holds b.txt open without sharing: no question can be
    # asked about it (the probe fails too), and creating it fails.
    for interactive in (False, True):
        f = Fault("held-file" + ("-asking" if interactive else ""), SMALL,
                  (["dialog"] if interactive else []) + ["cannot-create-file"], interactive=interactive)
        prepare(work, recorder, f)
        held = os.path.join(f.dest, top, "b.txt")
        write(held, b"kept open by another program\r\n")
        f.options = ["hold=" + sweep_lib.winpath(held)] + (["confirm"] if interactive else [])
        f.intact, f.absent = ["a.txt"], ["c.txt"]
        f.preserved[held] = b"kept open by another program\r\n"
        faults.append(f)

    # DestDir and the second name together pass the 259 bytes of the path
    # buffer, while the first name still fits.
    long_name = "b-with-a-longer-name.txt"
    f = Fault("path-too-long", [("a.txt", text(20, 4)), (long_name, text(20, 5)), ("c.txt", text(20, 6))],
              ["cannot-create-file"])
    base = dest_of(work, f)
    first_len = len(top) + 1 + len("a.txt")
    want = MAX_PATH_TEXT - first_len - 2  # DestDir length, its backslash included
    folder = base
    while len(sweep_lib.winpath(folder)) + 1 < want:
        room = want - (len(sweep_lib.winpath(folder)) + 1) - 1
        folder = os.path.join(folder, "p" * max(1, min(60, room)))
    prepare(work, recorder, f, folder)
    dest_dir_len = len(sweep_lib.winpath(folder)) + 1
    assert dest_dir_len + first_len <= MAX_PATH_TEXT < dest_dir_len + len(top) + 1 + len(long_name), \
        "path lengths not as planned"
    f.intact, f.absent = ["a.txt"], [long_name, "c.txt"]
    faults.append(f)

    # An existing folder where b.txt should go: the create fails, and the
    # folder and what it holds stay.
    f = Fault("output-is-folder", SMALL, ["cannot-create-file"])
    prepare(work, recorder, f)
    inside = os.path.join(f.dest, top, "b.txt", "keep.txt")
    write(inside, b"inside a folder named b.txt\r\n")
    f.intact, f.absent = ["a.txt"], ["c.txt"]
    f.preserved[inside] = b"inside a folder named b.txt\r\n"
    faults.append(f)

    # An existing file where the folder "sub" should be made.
    f = Fault("file-blocks-folder", [("a.txt", text(20, 7)), ("sub\\b.txt", text(20, 8))],
              ["file-blocks-folder", "cannot-create-file"])
    prepare(work, recorder, f)
    blocker = os.path.join(f.dest, top, "sub")
    write(blocker, b"a file, not a folder\r\n")
    f.intact = ["a.txt"]
    f.preserved[blocker] = b"a file, not a folder\r\n"
    faults.append(f)

    # A destination folder whose name the system refuses ('|' has no place
    # in a Windows name), typed into the destination dialog.
    f = Fault("folder-refused", SMALL, ["dialog", "cannot-create-folder", "cannot-create-file"],
              interactive=True, follow_up=False)
    prepare(work, recorder, f)
    f.dialog = os.path.join(f.dest, "bad|name")
    f.absent = ["a.txt"]
    faults.append(f)

    return faults


def build_disk_faults(work, top, recorder):
    faults = []

    # A disk that fills up: a 256 KiB file system, a stored file of 400 KiB.
    f = Fault("disk-full", [("a.txt", text(30, 9)), ("b.bin", random.Random(10).randbytes(400 * 1024)),
                            ("c.txt", text(30, 11))], ["write-failure"], follow_up=False)
    full = os.path.join(work, "mnt-full")
    if mount_tmpfs(full, "256k"):
        f.mount = full
        prepare(work, recorder, f, os.path.join(full, "dest"))
        f.intact, f.absent = ["a.txt"], ["c.txt"]
    else:
        f.skip = "mounting a 256 KiB tmpfs is not permitted here"
    faults.append(f)

    # A read-only disk (a tmpfs remounted read-only stops root too, where a
    # read-only attribute or folder mode does not): an existing file can't
    # be replaced and stays as it was; a missing folder can't be made.
    ro = os.path.join(work, "mnt-ro")
    mounted = mount_tmpfs(ro, "1m")
    f_file = Fault("read-only-disk-file", SMALL, ["cannot-create-file"], follow_up=False)
    f_folder = Fault("read-only-disk-folder", SMALL, ["cannot-create-folder", "cannot-create-file"],
                     follow_up=False)
    if mounted:
        f_file.mount = f_folder.mount = ro
        prepare(work, recorder, f_file, os.path.join(ro, "existing"))
        old = os.path.join(f_file.dest, top, "a.txt")
        write(old, b"was here before\r\n")
        f_file.preserved[old] = b"was here before\r\n"
        f_file.absent = ["b.txt", "c.txt"]
        f_folder.temp = f_folder.dest = os.path.join(ro, "missing")
        f_folder.absent = ["a.txt"]
        if subprocess.run(["mount", "-o", "remount,ro", ro]).returncode != 0:
            f_file.skip = f_folder.skip = "remounting the tmpfs read-only is not permitted here"
    else:
        f_file.skip = f_folder.skip = "mounting a tmpfs is not permitted here"
    faults += [f_file, f_folder]
    return faults


def check(f, result, top, sources):
    problems = []
    exit_code, ms, events = result
    names = sweep_lib.outcome_names(events)
    expected_code = "%08x" % 112 if f.name == "disk-full" else sweep_lib.expected_exit_code(names)
    if exit_code != expected_code:
        problems.append("exit code %s, not %s" % (exit_code, expected_code))
    if names != f.expected:
        problems.append("showed %s, expected %s" % (names, f.expected))
    for name in f.intact:
        path = os.path.join(f.dest, top, *name.split("\\"))
        if not os.path.isfile(path) or open(path, "rb").read() != sources[name]:
            problems.append("%s is missing or differs from its source" % name)
    for name in f.absent:
        if os.path.lexists(os.path.join(f.dest, top, *name.split("\\"))):
            problems.append("%s exists, though the run stopped before it" % name)
    for path, content in f.preserved.items():
        if not os.path.isfile(path) or open(path, "rb").read() != content:
            problems.append("%s was changed or lost" % path)
    if f.follow_up:
        ran = os.path.exists(os.path.join(f.dest, RECORD))
        if ran != (f.name == "control-intact"):
            problems.append("follow-up program %s: the result was %sDone" %
                            ("started" if ran else "not started", "" if ran else "not "))
    return problems, names, ms


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n")[0])
    parser.add_argument("--kaito", required=True)
    parser.add_argument("--stub", required=True)
    parser.add_argument("--runner", required=True)
    parser.add_argument("--recorder", required=True, help="followup_recorder.exe")
    parser.add_argument("--work", required=True)
    parser.add_argument("--prefix", required=True)
    parser.add_argument("--limit-ms", type=int, default=60000)
    parser.add_argument("--group", choices=["plain", "disks"], default="plain")
    args = parser.parse_args()

    work = os.path.abspath(args.work)
    for mount in ("mnt-full", "mnt-ro"):
        subprocess.run(["umount", os.path.join(work, mount)], stderr=subprocess.DEVNULL)
    shutil.rmtree(work, ignore_errors=True)
    os.makedirs(work)
    top = "f%d" % os.getpid()
    build = build_plain_faults if args.group == "plain" else build_disk_faults
    faults = build(work, top, args.recorder)
    try:
        cases = []
        for f in faults:
            if f.skip:
                continue
            src = os.path.join(work, "src", f.name)
            for name, data in f.files:
                write(os.path.join(src, top, *name.split("\\")), data)
            program = os.path.join(work, "programs", f.name + ".exe")
            os.makedirs(os.path.dirname(program), exist_ok=True)
            command = [args.kaito, "create", "--quiet", "--stub", args.stub, "-o", program, "-C", src, top]
            if not f.interactive:
                command.append("--auto")
            if f.follow_up:
                # kaito starts only a packed program: the recorder goes in as the
                # last entry, the same bytes as the copy already in the
                # destination, which a run that fails earlier leaves alone.
                shutil.copy(args.recorder, os.path.join(src, RECORDER))
                command += [RECORDER, "--run", RECORDER]
            subprocess.run(command, check=True, stdout=subprocess.DEVNULL)
            cases.append((f.name, program, f.temp, getattr(f, "dialog", f.dest) if f.interactive else None,
                          f.options))
        results = {}
        if cases:
            wine = sweep_lib.Wine(args.runner, args.prefix)
            results = wine.run_cases(cases, work, args.limit_ms)
        failed = 0
        for f in faults:
            if f.skip:
                print("SKIP %-24s %s" % (f.name, f.skip))
                continue
            problems, names, ms = check(f, results[f.name], top, dict(f.files))
            print("%s %-24s %s (%d ms)" % ("FAIL" if problems else "ok  ", f.name,
                                          " + ".join(names) or "no message", ms))
            for p in problems:
                print("       " + p)
            failed += bool(problems)
    finally:
        for f in faults:
            if getattr(f, "mount", None):
                subprocess.run(["umount", f.mount], stderr=subprocess.DEVNULL)
    skipped = sum(1 for f in faults if f.skip)
    print("%d of %d cases failed, %d skipped" % (failed, len(faults), skipped))
    sys.exit(1 if failed else SKIP_EXIT if skipped else 0)


if __name__ == "__main__":
    main()
