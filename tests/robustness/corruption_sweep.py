#!/usr/bin/env python3
"""Damaged self-extracting files never make the stub crash, hang, write
outside its destination, or report success for data it did not write.

Real self-extracting files (automatic mode; stored and compressed entries,
an empty file, nested folders) are cut at every length over the archive
part (plainly, and with the 4-byte trailer put back so that the reader walks
the cut archive), and damaged by seeded single-byte and single-bit flips.
Each case runs under Wine with the real stub, its temporary folder (the
automatic destination) set to a folder of its own; sweep_runner answers the
destination dialog that a damaged header brings up by typing that same
folder, and closes every message box.  Each run must:
  - end within the time limit with the exit code of its outcome;
  - show the destination dialog exactly when the header can't be read or
    does not ask for automatic mode, and then only the corrupt-data alert
    if it can't be read;
  - show only the messages a failure of the extraction may show (one alert,
    or a folder alert followed by the file alert), or the completion, or the
    damaged-data message when the damage leaves a required size of 0;
  - write nothing outside its destination;
  - leave in its destination only files identical to the source; a file
    without an integrity record (the record cut off with the archive) may
    let damage to one entry's bytes, name or times pass unseen into that one
    file; every entry before the damaged one must be there, and after a
    completion every entry (but the damaged one, without a record).
Prints the figures by outcome class and exits 1 on any violation.
"""
import argparse
import collections
import os
import random
import shutil
import sys
import time

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import sweep_lib  # noqa: E402

TERMINAL = [["done"], ["read-failure"], ["corrupt-archive"], ["out-of-memory"],
            ["cannot-create-file"], ["cannot-create-folder", "cannot-create-file"],
            ["file-blocks-folder", "cannot-create-file"]]


def make_source(root, top):
    """A small package: text that compresses, bytes that don't, an empty
    file, nested folders.  Seeded, so every run builds the same archive."""
    r = random.Random(7)
    files = {
        "readme.txt": "".join("line %d of the readme, with some words\r\n" % i
                              for i in range(40)).encode(),
        "bin\\tool.dat": bytes(r.randrange(256) for _ in range(64)),
        "bin\\empty.cfg": b"",
        "data\\deep\\notes.txt": "".join("note %d: %s\n" % (i, "abc" * (i % 7))
                                         for i in range(30)).encode(),
    }
    for rel, content in files.items():
        path = os.path.join(root, top, *rel.split("\\"))
        os.makedirs(os.path.dirname(path), exist_ok=True)
        with open(path, "wb") as f:
            f.write(content)


class Case:
    def __init__(self, case_id, kind, what, data, damaged_entry):
        self.id = case_id
        self.kind = kind              # cut, cut+trailer, byte, bit
        self.what = what              # where and how, for the reports
        self.data = data
        self.damaged = damaged_entry  # entry index, "header" or "trailer"


def damaged_part(layout, offset):
    i = layout.entry_at(offset)
    if i is not None:
        return i
    if offset >= layout.trailer:
        return "trailer"
    return "record" if offset >= layout.entries_end else "header"


def make_cases(base, layout, args):
    L, size = layout.locator, layout.size
    trailer = base[-4:]
    cases = []

    def add(kind, what, data, damaged):
        cases.append(Case("%s-%05d" % (kind.replace("+", ""), len(cases)), kind, what, data, damaged))

    # Lengths from L (nothing behind the stub) to one byte short.
    cuts = list(range(L, size))
    kept = list(range(L, size - 4))
    if args.truncations == "none":
        cuts, kept = [], []
    elif args.truncations != "all":
        # Every boundary of the layout and the byte behind it, and a spread of
        # lengths between them.
        step = max(1, len(cuts) // int(args.truncations))
        marks = {L, L + 16, layout.strings_end}
        for start, name_start, data_start, end, _, _ in layout.entries:
            marks |= {start, start + 4, start + 20, name_start, data_start, data_start + 268, end}
        marks |= {layout.entries_end, layout.record_start, layout.trailer - sweep_lib.FOOTER_SIZE}
        kept = sorted({m + d for m in marks for d in (0, 1)} & set(kept))
        cuts = cuts[::step]
    for cut in cuts:
        add("cut", "cut to %d bytes (%s)" % (cut, layout.region(cut) if cut < size else "-"),
            base[:cut], "trailer")
    for cut in kept:
        add("cut+trailer", "archive cut at %d (%s), trailer kept" % (cut, layout.region(cut)),
            base[:cut] + trailer, damaged_part(layout, cut) if cut >= L + 16 else "header")

    if args.header_bits:
        # Every bit of every structural field: the archive header and each
        # entry header.
        fields = list(range(L, L + 16))
        for start, _, _, _, _, _ in layout.entries:
            fields += range(start, start + 24)
        for offset in fields:
            for bit in range(8):
                data = bytearray(base)
                data[offset] ^= 1 << bit
                add("header-bit", "xor 0x%02x at %d (%s)" % (1 << bit, offset, layout.region(offset)),
                    bytes(data), damaged_part(layout, offset))

    r = random.Random(args.seed)
    for n in range(args.flips):
        offset = r.randrange(L, size)
        data = bytearray(base)
        if n % 2 == 0:
            mask = r.randrange(1, 256)
            kind = "byte"
        else:
            mask = 1 << r.randrange(8)
            kind = "bit"
        data[offset] ^= mask
        add(kind, "xor 0x%02x at %d (%s)" % (mask, offset, layout.region(offset)), bytes(data),
            damaged_part(layout, offset))
    return cases


def judge(case, result, layout, source, dest):
    """(outcome class, [violations]) of one run."""
    exit_code, _, events = result
    names = sweep_lib.outcome_names(events)
    violations = []
    if "hang" in names:
        return "hang", ["no end within the time limit: %s" % names]
    expected_code = sweep_lib.expected_exit_code(names)
    if exit_code != expected_code:
        violations.append("exit code %s, not %s (crash?)" % (exit_code, expected_code))
    odd = [n for n in names if n.startswith(("unknown-box:", "window:", "question", "start-failed",
                                             "dialog-caption:", "hold-failed"))]
    if odd:
        violations.append("unexpected windows or messages: %s" % odd)

    readable, automatic, required = sweep_lib.summary_of(case.data, layout.locator)
    dialog = names[:1] == ["dialog"]
    rest = names[1:] if dialog else names
    if dialog != (not (readable and automatic)):
        violations.append("destination dialog %s, header readable=%s automatic=%s" %
                          ("shown" if dialog else "not shown", readable, automatic))
    if not readable:
        if rest != ["corrupt-archive"]:
            violations.append("unreadable header, yet %s" % rest)
    elif automatic and required == 0:
        if rest != ["damaged-data"]:
            violations.append("required size 0, yet %s" % rest)
    elif rest not in TERMINAL:
        violations.append("messages not allowed here: %s" % rest)

    tree = sweep_lib.read_tree(dest)
    done = rest == ["done"]
    # With a record the damage can pass into no file at all.
    checked = isinstance(sweep_lib.record_place(case.data, layout.locator), tuple)
    explained = {rel for rel, content in tree.items() if source.get(rel) == content}
    unexplained = sorted(set(tree) - explained)
    names_in_order = [entry[4].decode("cp932") for entry in layout.entries]
    d = case.damaged
    if done:
        if isinstance(d, int):
            required_names = [n for j, n in enumerate(names_in_order) if j != d]
        elif d == "header":
            count = int.from_bytes(case.data[layout.locator + 4:layout.locator + 6], "little")
            required_names = names_in_order[:count]
        else:
            required_names = names_in_order
    else:
        required_names = names_in_order[:d] if isinstance(d, int) else []
    if checked:
        required_names = names_in_order if done else required_names
    missing = [n for n in required_names if n not in explained]
    allowed = 1 if isinstance(d, int) and not checked else 0
    if missing or len(unexplained) > allowed:
        what = "false done" if done else "earlier files lost or stray files"
        violations.append("%s: missing or changed %s, unexplained %s" % (what, missing, unexplained))

    outcome = "+".join(names) if names else "nothing shown"
    if violations and expected_code is not None and exit_code != expected_code:
        outcome = "crash"
    if done:
        if tree == source:
            outcome += " (identical)"
        elif len(explained) < len(source):
            outcome += " (damaged entry passed unseen)" if isinstance(d, int) else " (entries dropped)"
        if not checked:
            outcome += " [no record]"
    return outcome, violations


class OutsideWatch:
    """Notices anything written outside the case destinations during a
    batch: the whole drive C of a private prefix, or, in the shared prefix,
    any path that carries the package's unique name; the work folder apart
    from the destinations; the Linux root (Wine's drive Z)."""

    def __init__(self, wine, work, keep_out, token, private):
        self.wine, self.work, self.keep_out = wine, work, keep_out
        self.token, self.private = token, private

    def take(self):
        state = sweep_lib.snapshot(self.work, skip=self.keep_out)
        elsewhere = {"/" + name: ("root",) for name in os.listdir("/")}
        elsewhere.update(sweep_lib.snapshot(self.wine.drive_c()))
        if not self.private:
            # Other programs use this prefix too: only what carries the
            # package's name is ours, wherever it lies.
            if os.path.isdir("/_davoexpand"):
                elsewhere.update(sweep_lib.snapshot("/_davoexpand"))
            elsewhere = {p: v for p, v in elsewhere.items() if self.token in p}
        state.update(elsewhere)
        return state


def self_check(work, base, layout, source, run_batch, finish, dest_root):
    """The judge and the watch can tell: the intact file extracts whole and
    passes; a changed file after it fails as a false done; an extraction
    sent to a folder that is not the case's destination is noticed."""
    intact = Case("check-intact", "intact", "intact file", base, "trailer")
    results, outside = run_batch([intact])
    outcome, violations = judge(intact, results[intact.id], layout, source,
                                os.path.join(dest_root, intact.id))
    if outcome != "done (identical)" or violations or outside:
        sys.exit("self-check: the intact file gave %s %s %s" % (outcome, violations, outside))
    first = os.path.join(dest_root, intact.id, *sorted(source)[0].split("\\"))
    with open(first, "ab") as f:
        f.write(b"!")
    _, violations = judge(intact, results[intact.id], layout, source, os.path.join(dest_root, intact.id))
    if not any(v.startswith("false done") for v in violations):
        sys.exit("self-check: a changed file after a completion went unnoticed")
    finish(intact)

    astray = Case("check-astray", "intact", "intact file, temporary folder elsewhere", base, "trailer")
    elsewhere = os.path.join(work, "elsewhere")
    os.makedirs(elsewhere, exist_ok=True)
    with open(os.path.join(work, "cases", astray.id + ".exe"), "wb") as f:
        f.write(base)
    os.makedirs(os.path.join(dest_root, astray.id))
    before = run_batch.watch.take()
    run_batch.wine.run_cases([(astray.id, os.path.join(work, "cases", astray.id + ".exe"), elsewhere,
                              None, [])], os.path.join(work, "batch"), 60000)
    noticed = sweep_lib.changes(before, run_batch.watch.take())
    shutil.rmtree(elsewhere)
    finish(astray)
    if not noticed:
        sys.exit("self-check: files written outside the destination went unnoticed")
    print("self-check: intact file passes, a changed file and %d paths written elsewhere are noticed"
          % len(noticed), flush=True)


def run_sweep(args):
    work = os.path.abspath(args.work)
    os.makedirs(work, exist_ok=True)
    for folder in ("src", "cases", "dest", "batch", "kept"):
        shutil.rmtree(os.path.join(work, folder), ignore_errors=True)
        os.makedirs(os.path.join(work, folder))
    # The package's top folder name marks every path the stub writes.  In a
    # private prefix it is fixed; in the shared one it is unique to this run.
    # Its length is fixed either way, so that a seed always damages the same
    # fields of the same layout.
    private = args.private_prefix is not None
    token = "pkg%06d" % (0 if private else os.getpid() % 1000000)
    make_source(os.path.join(work, "src"), token)
    base_path = os.path.join(work, "base.exe")
    import subprocess
    subprocess.run([args.kaito, "create", "--quiet", "--auto", "--stub", args.stub, "-o", base_path,
                    "-C", os.path.join(work, "src"), token], check=True)
    with open(base_path, "rb") as f:
        base = f.read()
    layout = sweep_lib.Layout(base)
    source = sweep_lib.read_tree(os.path.join(work, "src"))

    prefix = args.prefix
    if private:
        sweep_lib.copy_prefix(args.prefix, args.private_prefix)
        prefix = args.private_prefix
    wine = sweep_lib.Wine(args.runner, prefix)
    cases = make_cases(base, layout, args)
    print("sweep: %d cases on %s (archive part %d bytes at offset %d, %d entries), seed %d, %s prefix"
          % (len(cases), base_path, layout.size - layout.locator, layout.locator, layout.entry_count,
             args.seed, "private" if private else "shared"), flush=True)

    dest_root = os.path.join(work, "dest")
    batch_dir = os.path.join(work, "batch")
    watch = OutsideWatch(wine, work, [dest_root, batch_dir, os.path.join(work, "kept"),
                                      os.path.join(work, "cases")], token, private)
    by_class = collections.Counter()
    regions = collections.defaultdict(collections.Counter)
    failures = []
    retried_hangs = 0
    lingering_processes = []
    started = time.time()

    def run_batch(batch, known=()):
        for case in batch:
            with open(os.path.join(work, "cases", case.id + ".exe"), "wb") as f:
                f.write(case.data)
            os.makedirs(os.path.join(dest_root, case.id))
        before = watch.take()
        results = wine.run_cases(
            [(c.id, os.path.join(work, "cases", c.id + ".exe"), os.path.join(dest_root, c.id),
              os.path.join(dest_root, c.id), ["cwd=" + sweep_lib.winpath(os.path.join(work, "cases"))])
             for c in batch], batch_dir, args.limit_ms)
        after = watch.take()
        for pid, comm in sweep_lib.lingering([c.id for c in batch]):
            lingering_processes.append(comm)
            print("note: process %d (%s) still runs after its case ended" % (pid, comm), flush=True)
        strays = [n for n in os.listdir(dest_root) if n not in {c.id for c in batch} | set(known)]
        return results, sweep_lib.changes(before, after) + ["new %s/%s" % (dest_root, n) for n in strays]

    run_batch.watch, run_batch.wine = watch, wine

    def finish(case):
        shutil.rmtree(os.path.join(dest_root, case.id), ignore_errors=True)
        os.remove(os.path.join(work, "cases", case.id + ".exe"))

    self_check(work, base, layout, source, run_batch, finish, dest_root)
    for first in range(0, len(cases), args.batch):
        batch = cases[first:first + args.batch]
        results, outside = run_batch(batch)
        ids = [c.id for c in batch]
        if outside and len(batch) > 1:
            # Find the case that wrote outside by running each alone.
            print("note: cases %s..%s changed %s; running each alone" % (ids[0], ids[-1], outside[:10]),
                  flush=True)
            for case in batch:
                finish(case)
            for case in batch:
                results_one, outside_one = run_batch([case], known=ids)
                results[case.id] = results_one[case.id]
                case.outside = outside_one
        for case in batch:
            result = results.get(case.id, ("missing", 0, ["hang"]))
            outcome, violations = judge(case, result, layout, source, os.path.join(dest_root, case.id))
            if outcome == "hang":
                # A stalled Wine start looks like a hang: run it once more alone.
                finish(case)
                results_one, outside_one = run_batch([case], known=ids)
                case.outside = getattr(case, "outside", []) + outside_one
                result = results_one[case.id]
                outcome2, violations2 = judge(case, result, layout, source,
                                              os.path.join(dest_root, case.id))
                if outcome2 != "hang":
                    retried_hangs += 1
                    outcome, violations = outcome2, violations2
            outside_here = getattr(case, "outside", outside if len(batch) == 1 else [])
            if outside_here:
                violations.append("wrote outside its destination: %s" % outside_here[:5])
            by_class[outcome] += 1
            region = case.kind if case.kind.startswith("cut") else case.what.split("(")[1].rstrip(")")
            regions[outcome][region] += 1
            if violations:
                failures.append((case, outcome, violations, result))
                kept = os.path.join(work, "kept", case.id + ".exe")
                with open(kept, "wb") as f:
                    f.write(case.data)
                print("VIOLATION %s: %s -> %s: %s (kept as %s)" % (case.id, case.what, outcome,
                                                                   "; ".join(violations), kept), flush=True)
            finish(case)
        done = min(first + args.batch, len(cases))
        if args.progress and (done // args.batch) % args.progress == 0:
            print("  %d/%d cases, %.0f s" % (done, len(cases), time.time() - started), flush=True)

    elapsed = time.time() - started
    kinds = collections.Counter(c.kind for c in cases)
    print("\nsweep figures (%.0f s, limit %d ms per run):" % (elapsed, args.limit_ms))
    print("  cases run: %d (%s)" % (len(cases), ", ".join("%s %d" % kv for kv in sorted(kinds.items()))))
    print("  outcomes by class:")
    for outcome, n in by_class.most_common():
        top = ", ".join("%s %d" % kv for kv in regions[outcome].most_common(6))
        print("    %6d  %s   [%s]" % (n, outcome, top))
    count = collections.Counter()
    for _, outcome, violations, _ in failures:
        for v in violations:
            count[v.split(":")[0].split(" (")[0]] += 1
    crashes = sum(1 for _, o, _, _ in failures if o == "crash")
    print("  crashes: %d" % crashes)
    print("  hangs: %d (time limit passed once but not on a re-run: %d)" % (by_class["hang"], retried_hangs))
    print("  writes outside the destination: %d" %
          sum(1 for _, _, vs, _ in failures if any(v.startswith("wrote outside") for v in vs)))
    print("  processes still running after their case ended: %d %s" %
          (len(lingering_processes), sorted(set(lingering_processes))[:10]))
    print("  false done: %d" % sum(1 for _, _, vs, _ in failures if any(v.startswith("false done") for v in vs)))
    print("  violations: %d cases%s" % (len(failures), (" " + str(dict(count))) if count else ""))
    return 1 if failures else 0


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n")[0])
    parser.add_argument("--kaito", required=True)
    parser.add_argument("--stub", required=True)
    parser.add_argument("--runner", required=True, help="sweep_runner.exe")
    parser.add_argument("--work", required=True)
    parser.add_argument("--prefix", required=True, help="the project's Wine prefix")
    parser.add_argument("--private-prefix", help="run in a private copy of the prefix made here")
    parser.add_argument("--truncations", default="all",
                        help="'all', 'none', or about how many plain cuts (with the layout's boundaries)")
    parser.add_argument("--flips", type=int, default=3000)
    parser.add_argument("--header-bits", action="store_true",
                        help="also flip every bit of the archive header and of each entry header")
    parser.add_argument("--seed", type=int, default=20240607)
    parser.add_argument("--limit-ms", type=int, default=60000)
    parser.add_argument("--batch", type=int, default=40)
    parser.add_argument("--progress", type=int, default=0, help="print progress every N batches")
    sys.exit(run_sweep(parser.parse_args()))


if __name__ == "__main__":
    main()
