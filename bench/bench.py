#!/usr/bin/env python3
"""Times zekt against GNU iconv, nkf and a minimal floor loop on two real
corpora, and writes the results to docs/benchmarks.md.

Called by bench/run.sh, which installs the tools and builds the binaries.
Every program reads the corpus on its standard input and writes to
/dev/null; zekt also runs once per round with the corpus named as its
argument. The programs run interleaved, round after round, so that a burst
of load on the machine hits them all alike. Peak RSS comes from
/usr/bin/time -f %M. Before the rounds, the outputs of the programs are
compared on the first 5 MB of each input; after them, callgrind counts the
instructions per input byte on the same cuts. Each round also converts a
fresh copy of a tree of small EUC files in place, with zekt and nkf. An
older zekt given as the baseline is counted by callgrind and converts the
tree too, beside this one.
"""

import argparse
import concurrent.futures
import datetime
import os
import platform
import resource
import random
import shutil
import statistics
import subprocess
import sys
import tempfile
import time
from dataclasses import dataclass, field
from pathlib import Path

EDICT = Path("/usr/share/edict/edict")
IPADIC = Path("/usr/share/mecab/dic/ipadic")
MB = 1_000_000
CUT_MB = 5  # the head of each input that is compared and counted by callgrind
TIME = "/usr/bin/time"
HIGH = bytes(range(0x80, 0x100))
# The tree converted in place: folders × files, each file a slice of edict of
# between these sizes (bytes), cut at a line end.
TREE_FOLDERS, TREE_FILES = 30, 100
TREE_SIZES = (1024, 2048)
# The load beside the in-place runs "under load": another process writing
# this many MB to the same file system, started shortly before the run.
LOAD_MB = 1024
LOAD_HEAD_START = 0.5  # seconds
# zekt in place against nkf --overwrite, quiet and under load: at most this
# many times nkf's best time.
IN_PLACE_LIMIT = 1.2

# The forms of a corpus: file suffix, iconv name, zekt output option, nkf
# output option, Python codec (to show differing text).
FORMS = {
    "euc": ("EUC-JP", "-e", "-e", "euc_jp"),
    "sjis": ("SHIFT_JIS", "-s", "-s", "shift_jis"),
    "jis": ("ISO-2022-JP", "-j", "-j", "iso2022_jp"),
    "utf8": ("UTF-8", "-u8", "-w", "utf-8"),
    "utf16": ("UTF-16LE", "-u16le", "-w16L0", "utf-16-le"),
    # JIS X 0213, which nkf does not write
    "euc2004": ("EUC-JISX0213", "-e2004", None, "euc_jisx0213"),
    "sjis2004": ("SHIFT_JISX0213", "-s2004", None, "shift_jisx0213"),
    "jis2004": ("ISO-2022-JP-3", "-j2004", None, "iso2022_jp_3"),
}
# UTF-16 without its mark is read only when named: zekt's and nkf's input
# options for the forms that need one.
SOURCE_OPTIONS = {"utf16": (["-U16LE"], ["-W16L0"]), "euc2004": (["-E2004"], None),
                  "sjis2004": (["-S2004"], None), "jis2004": (["-J2004"], None)}
LABEL = {"euc": "EUC", "sjis": "SJIS", "jis": "JIS", "utf8": "UTF-8", "utf16": "UTF-16LE",
         "euc2004": "EUC-JIS-2004", "sjis2004": "Shift_JIS-2004", "jis2004": "ISO-2022-JP-2004"}

# (from, to) for every direction, in the order of the tables.
DIRECTIONS = [
    ("euc", "sjis"),
    ("sjis", "euc"),
    ("sjis", "jis"),
    ("jis", "sjis"),
    ("euc", "utf8"),
    ("sjis", "utf8"),
    ("utf8", "sjis"),
    ("utf8", "euc"),
    ("utf16", "utf8"),
    ("utf8", "utf16"),
]
# The JIS X 0213 codes, on the dictionary sources only (edict holds JIS X
# 0212, which they lack).
X0213_DIRECTIONS = [
    ("euc2004", "utf8"),
    ("sjis2004", "utf8"),
    ("jis2004", "utf8"),
    ("utf8", "euc2004"),
    ("utf8", "sjis2004"),
    ("utf8", "jis2004"),
]
X0213_CORPUS = "ipadic"


def directions(corpus: str) -> list:
    return DIRECTIONS + (X0213_DIRECTIONS if corpus == X0213_CORPUS else [])


DIRECTION_OPTION = {f"{LABEL[s]} → {LABEL[d]}": FORMS[d][1] for s, d in DIRECTIONS + X0213_DIRECTIONS}
CHECKS = ["euc", "utf8"]  # the forms that check mode reads
LEGACY = {"euc", "sjis", "jis"}  # the codes between which edict must go at 1 GB/s


def zekt_args(zekt: str, src: str, dst: str) -> list:
    return [zekt, *SOURCE_OPTIONS.get(src, ([], []))[0], FORMS[dst][1], "-nr"]


def uses_rejected(rejected: set, src: str, dst: str) -> bool:
    """Whether zekt's options for a direction include one it turns down."""
    return any(opt in rejected for opt in zekt_args("", src, dst))


def nkf_args(src: str, dst: str):
    """None where nkf has no option for a code."""
    source = SOURCE_OPTIONS.get(src, ([], []))[1]
    if source is None or FORMS[dst][2] is None:
        return None
    # -x keeps half-width kana, -m0 no MIME decoding; no -L: line ends kept
    return ["nkf", "-x", "-m0", *source, FORMS[dst][2]]


def direction_name(src: str, dst: str) -> str:
    return f"{LABEL[src]} → {LABEL[dst]}"


def check_name(src: str) -> str:
    return f"check ({LABEL[src]})"


# ---------------------------------------------------------------- corpus


def cut_at_line(data: bytes, size: int, unit: int = 1) -> bytes:
    """The first `size` bytes of data, shortened to end with a whole line
    (of code units of `unit` bytes, little-endian)."""
    head = data[:size]
    end = head.rindex(b"\n".ljust(unit, b"\0"))
    while end % unit:
        end = head.rindex(b"\n".ljust(unit, b"\0"), 0, end)
    return head[: end + unit]


def write_if_changed(path: Path, data: bytes) -> None:
    if path.exists() and path.stat().st_size == len(data):
        return
    path.write_bytes(data)


def iconv_file(src: Path, dst: Path, to_code: str) -> None:
    if dst.exists() and dst.stat().st_mtime >= src.stat().st_mtime and dst.stat().st_size > 0:
        return
    with src.open("rb") as fin, dst.open("wb") as fout:
        # -c: the few JIS X 0212 characters of EUC have no Shift-JIS or JIS form.
        subprocess.run(["iconv", "-c", "-f", "EUC-JP", "-t", to_code], stdin=fin, stdout=fout, check=True)


def make_forms(corpus: Path, stem: str, euc: Path, more: tuple = ()) -> dict:
    """The four forms of an EUC file (and more), and their heads cut to CUT_MB."""
    files = {"euc": euc}
    for form in ("sjis", "jis", "utf8", "utf16", *more):
        files[form] = corpus / f"{stem}.{form}"
        iconv_file(euc, files[form], FORMS[form][0])
    cuts = {}
    for form, path in files.items():
        cuts[form] = corpus / f"{stem}.head{CUT_MB}m.{form}"
        with path.open("rb") as f:
            write_if_changed(cuts[form], cut_at_line(f.read(CUT_MB * MB), CUT_MB * MB, 2 if form == "utf16" else 1))
    return {"full": files, "cut": cuts}


def describe(data: bytes) -> dict:
    """The share of non-ASCII bytes and the JIS X 0212 characters of EUC text
    (0x8F is only ever the SS3 lead byte in EUC)."""
    return {
        "mb": len(data) / MB,
        "high": 1 - len(data.translate(None, HIGH)) / len(data),
        "x0212": data.count(b"\x8f"),
        "kana": data.count(b"\x8e"),
    }


def prepare_corpora(corpus: Path, size_mb: int) -> dict:
    """edict cut to 1 MB, 10 MB and size_mb (the largest in all four forms),
    and the mecab-ipadic sources in all four forms."""
    corpus.mkdir(parents=True, exist_ok=True)
    source = EDICT.read_bytes()
    whole = source * (size_mb * MB // len(source) + 1)
    scaling = {}
    for mb in sorted({0, 1, 10, size_mb}):  # 0: an empty input, the start-up alone
        scaling[mb] = corpus / f"edict-{mb}m.euc"
        write_if_changed(scaling[mb], cut_at_line(whole, mb * MB) if mb else b"")
    edict = make_forms(corpus, f"edict-{size_mb}m", scaling[size_mb])
    edict["scaling"] = scaling
    edict["about"] = describe(source)
    edict["about"]["source_mb"] = len(source) / MB

    # The dictionary sources, concatenated in sorted name order.
    parts = sorted(IPADIC.glob("*.csv"), key=lambda p: p.name)
    text = b"".join(p.read_bytes() for p in parts)
    ipadic_euc = corpus / "ipadic.euc"
    write_if_changed(ipadic_euc, text)
    ipadic = make_forms(corpus, "ipadic", ipadic_euc, ("euc2004", "sjis2004", "jis2004"))
    ipadic["about"] = describe(text)
    ipadic["about"]["files"] = len(parts)
    return {"edict": edict, "ipadic": ipadic}


def make_tree(corpus: Path) -> Path:
    """The tree of EUC files converted in place: consecutive slices of edict
    of random (seeded, so always the same) sizes, cut at line ends. The few
    lines with JIS X 0212 characters are left out: Shift-JIS has no code for
    some of them, and zekt -overwrite leaves such a file as it was."""
    tree = corpus / f"tree-{TREE_FOLDERS}x{TREE_FILES}-{TREE_SIZES[0]}-{TREE_SIZES[1]}"
    done = tree / ".complete"
    if done.exists():
        return tree
    shutil.rmtree(tree, ignore_errors=True)
    source = b"".join(line for line in EDICT.read_bytes().splitlines(keepends=True) if b"\x8f" not in line)
    sizes, start = random.Random(22), 0
    for d in range(TREE_FOLDERS):
        folder = tree / f"d{d:02}"
        folder.mkdir(parents=True)
        for f in range(TREE_FILES):
            size = sizes.randint(*TREE_SIZES)
            if start + size > len(source):
                start = 0
            piece = cut_at_line(source[start : start + size], size)
            (folder / f"f{f:03}.txt").write_bytes(piece)
            start += len(piece)
    done.touch()
    return tree


def tree_files(tree: Path) -> list:
    return sorted(p for p in tree.rglob("*.txt"))


# ---------------------------------------------------------------- runs


@dataclass
class Case:
    """One program on one input, measured once per round."""

    corpus: str  # "edict" or "ipadic"
    group: str  # the direction, e.g. "EUC → SJIS", or the check mode
    program: str  # "zekt", "zekt (file)", "zekt before", "iconv", "nkf", "floor"
    argv: list
    input: Path
    named: bool = False  # the input is named on the command line, not given on stdin
    rounds: int = 0  # 0: every round, else only the first `rounds`
    capture: bool = False  # keep the output (check mode)
    size: int = 0  # bytes of input when `input` is a folder
    output: str = ""
    walls: list = field(default_factory=list)
    cpus: list = field(default_factory=list)
    users: list = field(default_factory=list)  # user time alone: the program's own work
    rss_kb: list = field(default_factory=list)

    @property
    def mb(self) -> float:
        return (self.size or self.input.stat().st_size) / MB

    @property
    def best(self) -> float:
        return min(self.walls)

    @property
    def median(self) -> float:
        return statistics.median(self.walls)

    @property
    def best_cpu(self) -> float:
        return min(self.cpus)

    @property
    def best_user(self) -> float:
        return min(self.users)

    @property
    def peak_rss_mb(self) -> float:
        return max(self.rss_kb) / 1024


def run_once(case: Case) -> None:
    stdin = subprocess.DEVNULL if case.named else case.input.open("rb")
    stdout = subprocess.PIPE if case.capture else subprocess.DEVNULL
    try:
        with tempfile.NamedTemporaryFile("r", suffix=".time") as report:
            argv = [TIME, "-f", "%U %S %M", "-o", report.name, *case.argv]
            start, children = time.perf_counter(), resource.getrusage(resource.RUSAGE_CHILDREN).ru_utime
            result = subprocess.run(argv, stdin=stdin, stdout=stdout, stderr=subprocess.PIPE)
            wall = time.perf_counter() - start
            # In microseconds, where /usr/bin/time counts hundredths: the
            # program's and that of time itself, which waits.
            user_time = resource.getrusage(resource.RUSAGE_CHILDREN).ru_utime - children
            if result.returncode != 0:
                sys.exit(f"bench: {' '.join(case.argv)} failed: {result.stderr.decode(errors='replace')}")
            user, system, rss = report.read().split()[-3:]
    finally:
        if stdin is not subprocess.DEVNULL:
            stdin.close()
    if case.capture:
        case.output = " ".join(result.stdout.decode(errors="replace").split())
    case.walls.append(wall)
    case.cpus.append(float(user) + float(system))
    case.users.append(user_time)
    case.rss_kb.append(int(rss))


def rejected_options(zekt: str) -> set:
    """The code options that this zekt turns down ("option error", exit
    status 255): the rows that need them are skipped."""
    rejected = set()
    inputs = {opt for zekt_options, _ in SOURCE_OPTIONS.values() for opt in zekt_options}
    for opt in sorted({FORMS[dst][1] for _, dst in DIRECTIONS + X0213_DIRECTIONS} | inputs):
        r = subprocess.run([zekt, opt, "-nr"], input=b"a\n", capture_output=True)
        if r.returncode == 255 and b"option error" in r.stderr:
            rejected.add(opt)
    return rejected


def make_cases(zekt: str, floor: str, corpora: dict, size_mb: int, nkf_rounds: int,
               rejected: set) -> tuple:
    cases = []
    for corpus, forms in corpora.items():
        files = forms["full"]
        for src, dst in directions(corpus):
            group, path = direction_name(src, dst), files[src]
            if not uses_rejected(rejected, src, dst):
                cases.append(Case(corpus, group, "zekt", zekt_args(zekt, src, dst), path))
                cases.append(Case(corpus, group, "zekt (file)", [*zekt_args(zekt, src, dst), str(path)], path,
                                  named=True))
            cases.append(Case(corpus, group, "iconv", ["iconv", "-c", "-f", FORMS[src][0], "-t", FORMS[dst][0]], path))
            if nkf_args(src, dst):
                cases.append(Case(corpus, group, "nkf", nkf_args(src, dst), path, rounds=nkf_rounds))
            if (src, dst) == ("euc", "sjis"):
                cases.append(Case(corpus, group, "floor", [floor], path))
        for src in CHECKS:
            group, path = check_name(src), files[src]
            cases.append(Case(corpus, group, "zekt", [zekt, "-c"], path, capture=True))
            cases.append(Case(corpus, group, "zekt (file)", [zekt, "-c", str(path)], path, named=True))
            cases.append(Case(corpus, group, "nkf", ["nkf", "--guess"], path, rounds=nkf_rounds, capture=True))
    scaling = [
        Case("edict", f"scaling {mb} MB", "zekt", [zekt, "-s", "-nr"], path)
        for mb, path in corpora["edict"]["scaling"].items()
        if mb != size_mb
    ]
    return cases, scaling


def tree_cases(zekt: str, baseline: str, tree: Path, work: Path) -> list:
    """zekt, the baseline zekt if any, and nkf converting every file of a copy
    of the tree (at work) to Shift-JIS in place, all named in one command."""
    names = [p.relative_to(tree) for p in tree_files(tree)]
    paths = [str(work / n) for n in names]
    size = sum((tree / n).stat().st_size for n in names)
    programs = [("zekt", [zekt, "-overwrite", "-s", "-nr"])]
    if baseline:
        programs.append(("zekt before", [baseline, "-overwrite", "-s", "-nr"]))
    programs.append(("nkf", ["nkf", "--overwrite", "-x", "-m0", "-s"]))
    cases = [Case("tree", group, program, [*options, *paths], tree, named=True, size=size)
             for group in ("in place", "in place, under load") for program, options in programs]
    # Each argument costs its bytes, its terminating zero and its pointer; so does the environment.
    need = sum(len(os.fsencode(a)) + 9 for a in [TIME, *cases[-1].argv])
    need += sum(len(os.fsencode(k)) + len(os.fsencode(v)) + 10 for k, v in os.environ.items())
    if need > os.sysconf("SC_ARG_MAX"):
        sys.exit(f"bench: {len(paths)} file names do not fit one command line ({need} > {os.sysconf('SC_ARG_MAX')})")
    return cases


def run_in_place(case: Case, tree: Path, work: Path) -> dict:
    """One timed run on a fresh copy of the tree (the copy is not timed, and
    is on disk first so that its writing does not land in the run); the
    converted files by name. Under load, another process writes LOAD_MB to
    the same file system from a little before the run; it is waited for,
    its file removed and the disk synced after the run, untimed."""
    shutil.rmtree(work, ignore_errors=True)
    shutil.copytree(tree, work, ignore=shutil.ignore_patterns(".complete"))
    os.sync()
    load_file = work.parent / "load.bin"
    writer = None
    if case.group.endswith("under load"):
        writer = subprocess.Popen(["dd", "if=/dev/zero", f"of={load_file}", "bs=1M", f"count={LOAD_MB}"],
                                  stderr=subprocess.DEVNULL)
        time.sleep(LOAD_HEAD_START)
    try:
        run_once(case)
    finally:
        if writer is not None:
            writer.wait()
            load_file.unlink(missing_ok=True)
            os.sync()
    return {p.relative_to(work): p.read_bytes() for p in tree_files(work)}


def tree_agreement(mine: dict, theirs: dict, other: str) -> str:
    """'same', or how many converted files differ from another program's and
    how the first one does."""
    differ = [name for name in mine if mine[name] != theirs.get(name)]
    if not differ:
        return "same"
    first = differ[0]
    how = compare(mine[first], theirs.get(first, b""), "shift_jis", other)
    return f"{len(differ):,} of {len(mine):,} files differ; first {first}: {how}"


# ---------------------------------------------------------------- outputs


def program_output(argv: list, path: Path, named: bool = False) -> bytes:
    if named:
        r = subprocess.run([*argv, str(path)], stdin=subprocess.DEVNULL, capture_output=True)
    else:
        with path.open("rb") as fin:
            r = subprocess.run(argv, stdin=fin, capture_output=True)
    if r.returncode != 0:
        sys.exit(f"bench: {' '.join(argv)} failed: {r.stderr.decode(errors='replace')}")
    return r.stdout


def first_difference(a: bytes, b: bytes) -> int:
    """The offset of the first byte where a and b differ (they do differ)."""
    lo, hi = 0, min(len(a), len(b))  # a[:lo] == b[:lo]; the answer is at most hi
    while lo < hi:
        mid = (lo + hi + 1) // 2
        if a[:mid] == b[:mid]:
            lo = mid
        else:
            hi = mid - 1
    return lo


def sample(line: bytes, codec: str, at: int) -> str:
    """A few characters of line from its character `at`, and their bytes."""
    text = line.decode(codec, errors="replace")
    try:
        offset = len(text[:at].encode(codec))
    except UnicodeError:
        offset = at
    shown = text[at : at + 3].replace("`", "'").replace("|", "\\|")
    raw = line[offset : offset + 4].hex(" ").upper()
    return f"`{shown}` ({raw})" if shown else "end of line"


def compare(mine: bytes, theirs: bytes, codec: str, other: str) -> str:
    """'same', or how and where zekt's output differs from another's."""
    if mine == theirs:
        return "same"
    lines_a, lines_b = mine.split(b"\n"), theirs.split(b"\n")
    at = first_difference(mine, theirs)
    line_no = mine.count(b"\n", 0, at)
    if len(lines_a) == len(lines_b):
        count = sum(x != y for x, y in zip(lines_a, lines_b))
        how = f"{count:,} of {len(lines_a) - 1:,} lines differ"
    else:
        how = f"{len(mine):,} bytes against {len(theirs):,}"
    # The first differing character of the first differing line.
    a, b = lines_a[line_no], lines_b[line_no]
    ta, tb = a.decode(codec, errors="replace"), b.decode(codec, errors="replace")
    if ta == tb:  # the bytes differ where neither decodes
        d = first_difference(a, b)
        return f"{how}; first on line {line_no + 1:,}: zekt ({a[d : d + 4].hex(' ').upper()}), " \
               f"{other} ({b[d : d + 4].hex(' ').upper()})"
    k = next((i for i, (x, y) in enumerate(zip(ta, tb)) if x != y), min(len(ta), len(tb)))
    return f"{how}; first on line {line_no + 1:,}: zekt {sample(a, codec, k)}, {other} {sample(b, codec, k)}"


@dataclass
class Agreement:
    corpus: str
    group: str
    iconv: str
    nkf: str
    named: str  # zekt with the file named against zekt reading stdin


def compare_outputs(zekt: str, corpora: dict, rejected: set) -> list:
    """zekt's output against iconv's and nkf's on the head of every input."""
    found = []
    for corpus, forms in corpora.items():
        for src, dst in directions(corpus):
            group, path, codec = direction_name(src, dst), forms["cut"][src], FORMS[dst][3]
            if uses_rejected(rejected, src, dst):
                found.append(Agreement(corpus, group, "–", "–", "–"))
                continue
            mine = program_output(zekt_args(zekt, src, dst), path)
            named = program_output(zekt_args(zekt, src, dst), path, named=True)
            iconv = program_output(["iconv", "-c", "-f", FORMS[src][0], "-t", FORMS[dst][0]], path)
            nkf = compare(mine, program_output(nkf_args(src, dst), path), codec, "nkf") if nkf_args(src, dst) else "–"
            found.append(Agreement(corpus, group, compare(mine, iconv, codec, "iconv"), nkf,
                                   compare(named, mine, codec, "stdin")))
    return found


# ---------------------------------------------------------------- instructions


def count_instructions(argv: list, path: Path) -> float:
    """Instructions per input byte of one run under callgrind."""
    with tempfile.TemporaryDirectory() as tmp, path.open("rb") as fin:
        out = Path(tmp) / "callgrind.out"
        r = subprocess.run(["valgrind", "--tool=callgrind", f"--callgrind-out-file={out}", *argv],
                           stdin=fin, stdout=subprocess.DEVNULL, stderr=subprocess.PIPE)
        if r.returncode != 0:
            sys.exit(f"bench: callgrind on {' '.join(argv)} failed: {r.stderr.decode(errors='replace')[-2000:]}")
        for line in out.read_text().splitlines():
            if line.startswith(("summary:", "totals:")):
                return int(line.split()[1]) / path.stat().st_size
    sys.exit(f"bench: no instruction count from callgrind on {' '.join(argv)}")


def instructions(zekts: dict, floor: str, corpora: dict) -> dict:
    """{(corpus, group, program): instructions per byte}, on the heads of the
    inputs, for each zekt of zekts ({program: (binary, rejected options)}),
    iconv and the floor, as many runs at once as there are cores (counts do
    not depend on the load)."""
    jobs = {}
    for corpus, forms in corpora.items():
        cuts = forms["cut"]
        for src, dst in directions(corpus):
            group = direction_name(src, dst)
            for program, (zekt, rejected) in zekts.items():
                if not uses_rejected(rejected, src, dst):
                    jobs[(corpus, group, program)] = (zekt_args(zekt, src, dst), cuts[src])
            jobs[(corpus, group, "iconv")] = (["iconv", "-c", "-f", FORMS[src][0], "-t", FORMS[dst][0]], cuts[src])
        jobs[(corpus, direction_name("euc", "sjis"), "floor")] = ([floor], cuts["euc"])
        for src in CHECKS:
            for program, (zekt, _) in zekts.items():
                jobs[(corpus, check_name(src), program)] = ([zekt, "-c"], cuts[src])
    with concurrent.futures.ThreadPoolExecutor(max_workers=os.cpu_count() or 1) as pool:
        futures = {key: pool.submit(count_instructions, *job) for key, job in jobs.items()}
        return {key: f.result() for key, f in futures.items()}


# ---------------------------------------------------------------- report


def machine() -> dict:
    model = "unknown"
    try:
        for line in subprocess.run(["lscpu"], capture_output=True, text=True).stdout.splitlines():
            if line.startswith("Model name:"):
                model = line.split(":", 1)[1].strip()
                break
    except OSError:
        pass
    return {
        "cpu": model,
        "cores": os.cpu_count(),
        "kernel": platform.release(),
        "date": datetime.datetime.now().strftime("%Y-%m-%d %H:%M"),
    }


def first_line(argv: list) -> str:
    try:
        out = subprocess.run(argv, capture_output=True, text=True)
        return " ".join((out.stdout or out.stderr).strip().splitlines()[0].split())
    except (OSError, IndexError):
        return "unknown"


def fmt(x: float, digits: int = 3) -> str:
    return f"{x:.{digits}f}"


def groups_of(cases: list, corpus: str) -> list:
    return list(dict.fromkeys(c.group for c in cases if c.corpus == corpus))


def find(cases: list, corpus: str, group: str, program: str):
    return next((c for c in cases if c.corpus == corpus and c.group == group and c.program == program), None)


def direction_table(cases: list, corpus: str) -> list:
    rows = [
        "| Direction | Program | Runs | Best s | Median s | CPU s | MB/s | zekt ÷ this | Peak RSS MB |",
        "|---|---|---:|---:|---:|---:|---:|---:|---:|",
    ]
    for group in groups_of(cases, corpus):
        members = [c for c in cases if c.corpus == corpus and c.group == group]
        zekt = find(cases, corpus, group, "zekt")
        first = True
        if zekt is None:
            opt = DIRECTION_OPTION[group]
            rows.append(f"| {group} | zekt | – | skipped: this zekt rejects `{opt}` | | | | | |")
            first = False
        for c in members:
            ratio = fmt(zekt.best / c.best, 2) if zekt else "–"
            rows.append(
                f"| {group if first else ''} | {c.program} | {len(c.walls)} | {fmt(c.best)} | {fmt(c.median)} "
                f"| {fmt(c.best_cpu, 2)} | {fmt(c.mb / c.best, 0)} | {ratio} | {fmt(c.peak_rss_mb, 1)} |"
            )
            first = False
    return rows


def net_ms_per_mb(c, startup) -> float:
    """Time per MB less the start-up that every run pays once."""
    return 1000 * (c.best - startup.best) / c.mb


def scaling_table(points: list) -> list:
    rows = [
        "| Input | Best s | Median s | ms per MB | ms per MB less start-up | Peak RSS MB |",
        "|---|---:|---:|---:|---:|---:|",
    ]
    startup = points[0]
    for c in points:
        if c is startup:
            rows.append(f"| empty | {fmt(c.best)} | {fmt(c.median)} | – | – | {fmt(c.peak_rss_mb, 1)} |")
            continue
        rows.append(
            f"| {c.mb:.0f} MB | {fmt(c.best)} | {fmt(c.median)} | {fmt(1000 * c.best / c.mb, 2)} "
            f"| {fmt(net_ms_per_mb(c, startup), 2)} | {fmt(c.peak_rss_mb, 1)} |"
        )
    return rows


def tree_table(tree: dict) -> list:
    rows = [
        "| Disk | Program | Runs | Best s | Median s | CPU s | User s | files/s | MB/s | zekt ÷ this | Peak RSS MB |",
        "|---|---|---:|---:|---:|---:|---:|---:|---:|---:|---:|",
    ]
    for c in tree["cases"]:
        zekt = find(tree["cases"], "tree", c.group, "zekt")
        disk = "quiet" if c.group == "in place" else f"{LOAD_MB:,} MB written beside"
        rows.append(
            f"| {disk} | {c.program} | {len(c.walls)} | {fmt(c.best)} | {fmt(c.median)} | {fmt(c.best_cpu, 2)} "
            f"| {fmt(c.best_user)} | {fmt(tree['files'] / c.best, 0)} | {fmt(c.mb / c.best, 0)} | {fmt(zekt.best / c.best, 2)} "
            f"| {fmt(c.peak_rss_mb, 1)} |"
        )
    return rows


def mark(ok: bool) -> str:
    return "yes" if ok else "**no**"


def throughput_floor(src: str, dst: str) -> int:
    """The MB/s zekt must reach on edict: more among the legacy codes than to
    or from Unicode."""
    return 1000 if {src, dst} <= LEGACY else 800


def targets(cases: list, points: list, corpora: dict, agreements: list, size_mb: int, tree: dict) -> list:
    rows = [
        "| Direction | Corpus | zekt ÷ iconv | ≤ 0.5 | ≤ 0.6 | zekt ÷ nkf | Output as iconv's (first 5 MB) |",
        "|---|---|---:|---|---|---:|---|",
    ]
    for src, dst in DIRECTIONS + X0213_DIRECTIONS:
        group = direction_name(src, dst)
        for corpus in corpora:
            if (src, dst) not in directions(corpus):
                continue
            z, i, n = (find(cases, corpus, group, p) for p in ("zekt", "iconv", "nkf"))
            same = next(a.iconv for a in agreements if a.corpus == corpus and a.group == group)
            same = "yes" if same == "same" else ("–" if same == "–" else "**no**")
            if z is None:
                rows.append(f"| {group} | {corpus} | skipped | – | – | skipped | – |")
                continue
            ri = z.best / i.best
            rn = fmt(z.best / n.best, 2) if n else "–"
            rows.append(f"| {group} | {corpus} | {fmt(ri, 2)} | {mark(ri <= 0.5)} | {mark(ri <= 0.6)} "
                        f"| {rn} | {same} |")

    checks = []
    for src, dst in DIRECTIONS:
        group, floor = direction_name(src, dst), throughput_floor(src, dst)
        z = find(cases, "edict", group, "zekt")
        name = f"{group}, edict {size_mb} MB: ≥ {floor} MB/s"
        checks.append((name, None, "skipped") if z is None else (name, z.mb / z.best >= floor,
                                                                 f"{fmt(z.mb / z.best, 0)} MB/s"))
    for src in CHECKS:
        z = find(cases, "edict", check_name(src), "zekt")
        checks.append((f"{check_name(src)}, edict {size_mb} MB: ≥ 3000 MB/s", z.mb / z.best >= 3000,
                       f"{fmt(z.mb / z.best, 0)} MB/s"))
    zekt_runs = [c for c in cases if c.program.startswith("zekt")] + points
    worst = max(c.peak_rss_mb for c in zekt_runs)
    checks.append(("zekt peak RSS < 8 MB at every size", worst < 8, f"at most {fmt(worst, 1)} MB"))
    p10 = next(c for c in points if round(c.mb) == 10)
    big = points[-1]
    if big is p10:
        checks.append(("time per MB flat from 10 MB up (edict)", None, "only 10 MB was run"))
    else:
        drift = net_ms_per_mb(big, points[0]) / net_ms_per_mb(p10, points[0]) - 1
        checks.append((f"time per MB (less start-up) at {big.mb:.0f} MB within 10% of 10 MB (edict)",
                       abs(drift) <= 0.10, f"{drift:+.1%}"))
    for group, disk in (("in place", "quiet disk"), ("in place, under load", f"{LOAD_MB:,} MB written beside")):
        z, n = (find(tree["cases"], "tree", group, p) for p in ("zekt", "nkf"))
        checks.append((f"{tree['files']:,} files in place, {disk}: ≤ {IN_PLACE_LIMIT} × nkf --overwrite",
                       z.best <= n.best * IN_PLACE_LIMIT,
                       f"{fmt(z.best / n.best, 2)} (zekt {fmt(z.best)} s, nkf {fmt(n.best)} s; medians "
                       f"{fmt(z.median / n.median, 2)})"))
    z, before, n = (find(tree["cases"], "tree", "in place", p) for p in ("zekt", "zekt before", "nkf"))
    name = f"{tree['files']:,} files in place: no slower than zekt before"
    against_nkf = f"zekt {fmt(z.best)} s, nkf {fmt(n.best)} s"
    if before is None:
        checks.append((name, None, f"{against_nkf}; no zekt before given (BENCH_BASELINE)"))
    else:
        # Judged on user time, the programs' own work: the wall and system
        # times are the file system's (creating, syncing and renaming each
        # file) and swing by a factor of two between identical runs.
        # Identical builds differ by up to 5% in user time from run to run.
        checks.append((name, z.best_user <= before.best_user * 1.05,
                       f"user {fmt(z.best_user)} s against {fmt(before.best_user)} s; wall "
                       f"{fmt(z.best / before.best, 2)} of its best time ({fmt(z.best)} s against "
                       f"{fmt(before.best)} s; medians {fmt(z.median / before.median, 2)}); {against_nkf}"))
    rows += ["", "| Target | Met | Figure |", "|---|---|---|"]
    rows += [f"| {name} | {'–' if ok is None else mark(ok)} | {figure} |" for name, ok, figure in checks]
    return rows


def agreement_table(agreements: list) -> list:
    rows = [
        "| Direction | Corpus | zekt against iconv | zekt against nkf | zekt (file) against zekt |",
        "|---|---|---|---|---|",
    ]
    for a in agreements:
        rows.append(f"| {a.group} | {a.corpus} | {a.iconv} | {a.nkf} | {a.named} |")
    return rows


def check_answers(cases: list, corpora: dict) -> list:
    rows = ["| Input | zekt -c | nkf --guess |", "|---|---|---|"]
    for corpus in corpora:
        for src in CHECKS:
            z, n = find(cases, corpus, check_name(src), "zekt"), find(cases, corpus, check_name(src), "nkf")
            rows.append(f"| {corpus}, {LABEL[src]} | `{z.output}` | `{n.output}` |")
    return rows


def instruction_table(counts: dict, corpora: dict, cases: list) -> list:
    if not counts:
        return ["Not counted in this run (BENCH_CALLGRIND=0)."]
    programs = ["zekt before"] if any(key[2] == "zekt before" for key in counts) else []
    programs += ["zekt", "iconv"]
    heads = " | ".join(f"{corpus}: {program}" for corpus in corpora for program in programs)
    rows = [f"| Direction | {heads} |", "|---|" + "---:|" * (len(programs) * len(corpora))]
    groups = [direction_name(s, d) for s, d in DIRECTIONS + X0213_DIRECTIONS] + [check_name(s) for s in CHECKS]
    for group in groups:
        cells = []
        for corpus in corpora:
            for program in programs:
                v = counts.get((corpus, group, program))
                cells.append(fmt(v, 0) if v is not None else ("–" if program == "iconv" else "skipped"))
        rows.append(f"| {group} | {' | '.join(cells)} |")
    floors = ", ".join(f"{fmt(counts[(c, direction_name('euc', 'sjis'), 'floor')], 0)} on {c}" for c in corpora)
    return [f"The floor loop takes {floors} (EUC → SJIS).", "", *rows]


def write_report(path: Path, info: dict, args, corpora: dict, cases: list, points: list, load: tuple,
                 versions: dict, rejected: set, agreements: list, counts: dict, tree: dict) -> str:
    edict, ipadic = corpora["edict"]["about"], corpora["ipadic"]["about"]
    ipadic_mb = corpora["ipadic"]["full"]["euc"].stat().st_size / MB
    notes = []
    for opt in sorted(rejected):
        notes.append(f"- This zekt rejects `{opt}` (option error): its rows are skipped.")
    lines = [
        "# Benchmarks",
        "",
        "Written by `make bench` (bench/run.sh, bench/bench.py); rerun it to refresh this page.",
        "",
        f"- Machine: {info['cpu']}, {info['cores']} cores, Linux {info['kernel']}",
        f"- Date: {info['date']}",
        f"- Load average at start and end: {load[0]} / {load[1]}"
        + (" (other jobs were running: times are noisy, the best of the rounds is the figure to read)"
           if max(float(load[0]), float(load[1])) > 0.5 else ""),
        f"- Rounds: {args.rounds}, all programs interleaved in each round"
        + (f"; nkf, the slowest by far, in the first {args.nkf_rounds} only" if args.nkf_rounds < args.rounds else ""),
        f"- zekt: {versions['zekt']}; iconv: {versions['iconv']}; nkf: {versions['nkf']}; "
        f"valgrind: {versions['valgrind']}",
        *([f"- zekt before (the baseline): `{args.baseline}`, {versions['zekt before']}"] if args.baseline else []),
        *notes,
        "",
        "## Corpora",
        "",
        f"- **edict**: Debian's `edict` dictionary ({edict['source_mb']:.1f} MB of EUC-JP text, mostly "
        f"ASCII glosses with Japanese headwords, {edict['high']:.0%} non-ASCII bytes, "
        f"{edict['x0212']} JIS X 0212 characters) repeated and cut at a line end to {args.size} MB.",
        f"- **ipadic** (kanji-dense): mecab-ipadic's dictionary sources, the {ipadic['files']} files "
        f"`{IPADIC}/*.csv` concatenated in sorted name order ({ipadic_mb:.1f} MB of EUC-JP, "
        f"{ipadic['high']:.0%} non-ASCII bytes, {ipadic['x0212']} JIS X 0212 characters, "
        f"{ipadic['kana']} half-width kana).",
        "",
        "The Shift-JIS, JIS, UTF-8 and UTF-16LE forms of each are made with `iconv -c -f EUC-JP` (which drops the "
        "JIS X 0212 characters from all of them). Files live in bench/corpus/, which git ignores.",
        "",
        "## Commands",
        "",
        "Every program reads the corpus on its standard input and writes to /dev/null; line ends are kept "
        "on all sides. zekt also runs once per round with the corpus named as its argument "
        "(`zekt -s -nr FILE`, the \"zekt (file)\" rows); ratios and targets use the standard-input rows.",
        "",
        "- zekt: `zekt -s|-e|-j|-u8|-u16le -nr` (input code detected; UTF-16LE without its mark named "
        "with `-U16LE`), check mode `zekt -c`",
        "- iconv (glibc): `iconv -c -f FROM -t TO`, FROM and TO among EUC-JP, SHIFT_JIS, ISO-2022-JP, UTF-8, "
        "UTF-16LE",
        "- nkf: `nkf -x -m0 -s|-e|-j|-w|-w16L0` (input code guessed, UTF-16LE named with `-W16L0`; "
        "half-width kana kept, no MIME decoding, no -L so line ends stay), and `nkf --guess` against the "
        "check mode",
        "- floor: bench/floor.cpp, EUC → Shift-JIS arithmetic alone over 64 KiB fread/fwrite buffers",
        "- in place: `zekt -overwrite -s -nr FILE...` and `nkf --overwrite -x -m0 -s FILE...`, every file of "
        "the tree named in one command",
        "",
        "## Throughput",
        "",
        "Best and median are wall-clock seconds over the rounds; CPU is the best user + system time. "
        "MB/s is the input size over the best time. \"zekt ÷ this\" is zekt's best time over this "
        "program's: below 1 zekt is faster.",
        "",
        f"### edict, {args.size} MB",
        "",
        *direction_table(cases, "edict"),
        "",
        f"### ipadic, {ipadic_mb:.1f} MB",
        "",
        *direction_table(cases, "ipadic"),
        "",
        "## Scaling",
        "",
        "zekt -s -nr over edict in EUC at several sizes (the largest is the run above), and over an empty input, whose time every run pays once to start and stop.",
        "",
        *scaling_table(points),
        "",
        "## In place",
        "",
        f"A tree of {tree['files']:,} EUC files in {TREE_FOLDERS} folders ({tree['mb']:.1f} MB): consecutive "
        f"slices of edict of {TREE_SIZES[0] // 1024} to {TREE_SIZES[1] // 1024} KB (sizes drawn from a seeded "
        "generator, cut at line ends), leaving out the lines with JIS X 0212 characters, some of which Shift-JIS "
        "has no code for (zekt -overwrite leaves such a file as it was). Each run converts a fresh copy of the "
        "tree to Shift-JIS in place; the copy is made and written to disk before the clock starts. "
        + ("zekt before is the baseline named above. " if args.baseline else "")
        + "Every program runs in every round, on a quiet disk and again while another process writes "
        f"{LOAD_MB:,} MB to the same file system (dd, started {LOAD_HEAD_START} s before the run); best and "
        "median are wall-clock seconds over the rounds. zekt makes each new file durable before its rename, "
        "and its folder after (nkf does neither), in batches whose writes go on while the next batch is "
        "converted. The wall and system times are the file system's and swing widely between identical runs: "
        "the target against zekt before compares user time (the conversion's own work, from getrusage), "
        "within the 5% by which identical runs differ; the targets against nkf compare best wall times.",
        "",
        *tree_table(tree),
        "",
        *[f"- {label}: {found}" for label, found in tree["agreements"]],
        "",
        "## Targets",
        "",
        "zekt's best time against iconv's (at most half of it, never above 0.6 of it) per direction and "
        "corpus; zekt ÷ nkf is shown for comparison. Below the table, the throughput zekt must reach on "
        "edict at 100 MB (1000 MB/s among EUC, Shift-JIS and JIS, 800 MB/s to and from UTF-8 and UTF-16, "
        "3000 MB/s in check mode), its memory, its time per MB and the tree converted in place:",
        "",
        *targets(cases, points, corpora, agreements, args.size, tree),
        "",
        "## Outputs",
        "",
        f"zekt's output against the others' on the first {CUT_MB} MB of each input (cut at a line end); "
        "a difference shows the first differing characters, decoded.",
        "",
        *agreement_table(agreements),
        "",
        "What each check mode found on the whole input:",
        "",
        *check_answers(cases, corpora),
        "",
        "## What bounds zekt",
        "",
        f"Instructions per input byte, counted with `valgrind --tool=callgrind` on the first {CUT_MB} MB "
        "of each input (cut at a line end) in this run: the whole run of the program divided by the input's "
        "size (instruction counts, unlike times, do not depend on the load of the machine)"
        + ("; zekt before is the baseline named above, run the same way." if args.baseline else "."),
        "",
        *instruction_table(counts, corpora, cases),
        "",
        "zekt reads its input in 64 KiB reads and carves them into the 1024-byte blocks that "
        "detection and the binary check are defined on; it gathers its output in a 64 KiB buffer. "
        "Within a block it takes whole what `decodeByte`, the byte-at-a-time definition of how input "
        "is read, would read the same way every time. Text where ASCII and kanji alternate goes through "
        "one loop that takes the printable ASCII at hand by a vector and then one character (a kanji pair "
        "checked and converted by two table reads, or a UTF-8 sequence, UTF-8 to Shift-JIS by one table "
        "read), so that the turns between them cost no mispredicted branch; JIS input takes its escape "
        "sequences in the same loop. UTF-16 input is read as UTF-8, four code units at a time through "
        "SSSE3's byte shuffle, and UTF-8 that goes out as UTF-8 is checked and copied in chunks of sixteen "
        "bytes. Once the code is settled, the scan of a block and its conversion are one reading; the "
        "binary check, the settled scan of check mode and the UTF-8 form check go thirty-two bytes at a "
        "time with AVX2. The vector width is the machine's, found at start; the fuzz target and the "
        "tests hold every width to the plain per-byte path byte for byte. What bounds each direction now: "
        "on kanji-dense text the work per character (some 10 instructions to read a pair or sequence, look "
        "it up and write it) and the table reads behind it, and for UTF-16 the transcoding before the "
        "copy; on mostly-ASCII text the copy of ASCII runs sixteen bytes at a time, the once-per-line "
        "return to the line-end handling and the checks made for each 1024-byte block; in check mode the "
        "scans and the kernel's copy of the input into zekt's buffer, about a fifth of the time. "
        "glibc's iconv goes through its internal UCS-4 form character by character and reads the whole "
        "input into memory first (its peak RSS is the input's size); zekt streams in a few MB.",
        "",
    ]
    text = "\n".join(lines)
    path.write_text(text)
    return text


def summary(cases: list, corpora: dict, agreements: list, counts: dict, tree: dict) -> list:
    """A few lines per direction for the terminal."""
    out = ["", "Summary (best s; zekt ÷ iconv, zekt ÷ nkf; instructions per byte zekt / iconv, and zekt before's):"]
    for corpus in corpora:
        for group in groups_of(cases, corpus):
            z, zf = find(cases, corpus, group, "zekt"), find(cases, corpus, group, "zekt (file)")
            i, n = find(cases, corpus, group, "iconv"), find(cases, corpus, group, "nkf")
            line = f"  {corpus:6} {group:15}"
            if z is None:
                out.append(line + " zekt skipped (option rejected)")
                continue
            line += f" zekt {fmt(z.best)} (file {fmt(zf.best)})"
            if i:
                line += f"  ÷iconv {fmt(z.best / i.best, 2)}"
            if n:
                line += f"  ÷nkf {fmt(z.best / n.best, 2)}"
            if (corpus, group, "zekt") in counts:
                ic, before = counts.get((corpus, group, "iconv")), counts.get((corpus, group, "zekt before"))
                line += f"  Ir/B {fmt(counts[(corpus, group, 'zekt')], 0)}" + (f"/{fmt(ic, 0)}" if ic else "")
                line += f" (before {fmt(before, 0)})" if before is not None else ""
            agreement = next((a for a in agreements if a.corpus == corpus and a.group == group), None)
            if agreement and agreement.iconv != "same":
                line += "  output differs from iconv's"
            out.append(line)
    for c in tree["cases"]:
        out.append(f"  tree   {c.program:15} {c.group} {fmt(c.best)} s ({fmt(tree['files'] / c.best, 0)} files/s)")
    return out


# ---------------------------------------------------------------- main


def main() -> None:
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--zekt", required=True)
    parser.add_argument("--floor", required=True)
    parser.add_argument("--rounds", type=int, default=5)
    parser.add_argument("--nkf-rounds", type=int, default=2, help="rounds in which nkf runs")
    parser.add_argument("--size", type=int, default=100, help="edict corpus size in MB")
    parser.add_argument("--callgrind", type=int, default=1, help="0: skip the instruction counts")
    parser.add_argument("--baseline", default="", help="an older zekt to count and time in place beside this one")
    parser.add_argument("--corpus", default="bench/corpus")
    parser.add_argument("--report", default="docs/benchmarks.md")
    args = parser.parse_args()
    started = time.perf_counter()

    if args.baseline and not os.access(args.baseline, os.X_OK):
        sys.exit(f"bench: the baseline {args.baseline} is not an executable file")
    corpora = prepare_corpora(Path(args.corpus), args.size)
    tree_dir, tree_work = make_tree(Path(args.corpus)), Path("bench/out/tree")
    rejected = rejected_options(args.zekt)
    for opt in sorted(rejected):
        print(f"bench: this zekt rejects {opt} (option error); its rows are skipped", flush=True)
    zekts = {"zekt": (args.zekt, rejected)}
    if args.baseline:
        zekts["zekt before"] = (args.baseline, rejected_options(args.baseline))
    print(f"comparing outputs ({time.perf_counter() - started:.0f} s)", flush=True)
    agreements = compare_outputs(args.zekt, corpora, rejected)

    cases, scaling = make_cases(args.zekt, args.floor, corpora, args.size, args.nkf_rounds, rejected)
    in_place = tree_cases(args.zekt, args.baseline, tree_dir, tree_work)
    converted = {}
    load_start = os.getloadavg()[0]
    for r in range(1, args.rounds + 1):
        print(f"round {r}/{args.rounds} ({time.perf_counter() - started:.0f} s)", flush=True)
        for case in cases + scaling:
            if case.rounds == 0 or r <= case.rounds:
                run_once(case)
        for case in in_place:
            files = run_in_place(case, tree_dir, tree_work)
            converted.setdefault(case.program, files)
    load_end = os.getloadavg()[0]
    shutil.rmtree(tree_work)
    tree = {
        "cases": in_place,
        "files": len(converted["zekt"]),
        "mb": in_place[0].mb,
        "agreements": [("zekt's converted tree against nkf's",
                        tree_agreement(converted["zekt"], converted["nkf"], "nkf"))],
    }
    if args.baseline:
        tree["agreements"].append(("zekt's converted tree against zekt before's",
                                   tree_agreement(converted["zekt"], converted["zekt before"], "zekt before")))

    counts = {}
    if args.callgrind:
        print(f"counting instructions with callgrind ({time.perf_counter() - started:.0f} s)", flush=True)
        counts = instructions(zekts, args.floor, corpora)

    big = find(cases, "edict", direction_name("euc", "sjis"), "zekt")
    if big is None:
        sys.exit("bench: zekt -s is rejected")
    points = scaling + [Case("edict", f"scaling {args.size} MB", "zekt", big.argv, big.input,
                             walls=big.walls, cpus=big.cpus, rss_kb=big.rss_kb)]
    versions = {
        "zekt": first_line([args.zekt, "-v"]),
        "iconv": first_line(["iconv", "--version"]),
        "nkf": first_line(["nkf", "--version"]),
        "valgrind": first_line(["valgrind", "--version"]) if args.callgrind else "not run",
        "zekt before": first_line([args.baseline, "-v"]) if args.baseline else "none",
    }
    text = write_report(Path(args.report), machine(), args, corpora, cases, points,
                        (f"{load_start:.2f}", f"{load_end:.2f}"), versions, rejected, agreements, counts, tree)
    print(text)
    print("\n".join(summary(cases, corpora, agreements, counts, tree)))
    print(f"\nbench: {time.perf_counter() - started:.0f} s in all; wrote {args.report}")


if __name__ == "__main__":
    main()
