#!/usr/bin/env python3
"""Times zekt against GNU iconv, nkf and a minimal floor loop on a real
corpus, and writes the results to docs/benchmarks.md.

Called by bench/run.sh, which installs the tools and builds the binaries.
Every program reads the corpus on its standard input and writes to
/dev/null; the programs run interleaved, round after round, so that a burst
of load on the machine hits them all alike. Peak RSS comes from
/usr/bin/time -f %M.
"""

import argparse
import datetime
import os
import platform
import statistics
import subprocess
import sys
import tempfile
import time
from dataclasses import dataclass, field
from pathlib import Path

EDICT = Path("/usr/share/edict/edict")
MB = 1_000_000
TIME = "/usr/bin/time"


# ---------------------------------------------------------------- corpus


def cut_at_line(data: bytes, size: int) -> bytes:
    """The first `size` bytes of data, shortened to end with a whole line."""
    head = data[:size]
    return head[: head.rindex(b"\n") + 1]


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


def prepare_corpus(corpus: Path, size_mb: int) -> dict:
    """EUC copies of edict cut to 1 MB, 10 MB and size_mb, plus the Shift-JIS
    and JIS forms of the largest."""
    corpus.mkdir(parents=True, exist_ok=True)
    source = EDICT.read_bytes()
    copies = size_mb * MB // len(source) + 1
    whole = source * copies
    files = {}
    for mb in sorted({1, 10, size_mb}):
        path = corpus / f"edict-{mb}m.euc"
        write_if_changed(path, cut_at_line(whole, mb * MB))
        files[f"euc{mb}"] = path
    big = files[f"euc{size_mb}"]
    files["euc"] = big
    files["sjis"] = corpus / f"edict-{size_mb}m.sjis"
    files["jis"] = corpus / f"edict-{size_mb}m.jis"
    iconv_file(big, files["sjis"], "SHIFT_JIS")
    iconv_file(big, files["jis"], "ISO-2022-JP")
    return files


# ---------------------------------------------------------------- runs


@dataclass
class Case:
    """One program on one input, measured once per round."""

    group: str  # the direction, e.g. "EUC → SJIS"
    program: str  # "zekt", "iconv", "nkf", "floor"
    argv: list
    input: Path
    walls: list = field(default_factory=list)
    cpus: list = field(default_factory=list)
    rss_kb: list = field(default_factory=list)

    @property
    def mb(self) -> float:
        return self.input.stat().st_size / MB

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
    def peak_rss_mb(self) -> float:
        return max(self.rss_kb) / 1024


def run_once(case: Case) -> None:
    with tempfile.NamedTemporaryFile("r", suffix=".time") as report, case.input.open("rb") as fin:
        argv = [TIME, "-f", "%U %S %M", "-o", report.name, *case.argv]
        start = time.perf_counter()
        result = subprocess.run(argv, stdin=fin, stdout=subprocess.DEVNULL, stderr=subprocess.PIPE)
        wall = time.perf_counter() - start
        if result.returncode != 0:
            sys.exit(f"bench: {' '.join(case.argv)} failed: {result.stderr.decode(errors='replace')}")
        user, system, rss = report.read().split()[-3:]
    case.walls.append(wall)
    case.cpus.append(float(user) + float(system))
    case.rss_kb.append(int(rss))


def make_cases(zekt: str, floor: str, files: dict, size_mb: int) -> tuple:
    nkf = ["nkf", "-x", "-m0"]  # -x keeps half-width kana, -m0 no MIME decoding; no -L: line ends kept
    euc, sjis, jis = files["euc"], files["sjis"], files["jis"]
    directions = [
        ("EUC → SJIS", euc, "-s", ["-f", "EUC-JP", "-t", "SHIFT_JIS"], "-s"),
        ("SJIS → EUC", sjis, "-e", ["-f", "SHIFT_JIS", "-t", "EUC-JP"], "-e"),
        ("SJIS → JIS", sjis, "-j", ["-f", "SHIFT_JIS", "-t", "ISO-2022-JP"], "-j"),
        ("JIS → SJIS", jis, "-s", ["-f", "ISO-2022-JP", "-t", "SHIFT_JIS"], "-s"),
    ]
    cases = []
    for group, path, zopt, iconv_opts, nopt in directions:
        cases.append(Case(group, "zekt", [zekt, zopt, "-nr"], path))
        cases.append(Case(group, "iconv", ["iconv", "-c", *iconv_opts], path))
        cases.append(Case(group, "nkf", [*nkf, nopt], path))
        if group == "EUC → SJIS":
            cases.append(Case(group, "floor", [floor], path))
    cases.append(Case("check (EUC)", "zekt", [zekt, "-c"], euc))
    cases.append(Case("check (EUC)", "nkf", ["nkf", "--guess"], euc))
    scaling = [Case(f"scaling {mb} MB", "zekt", [zekt, "-s", "-nr"], files[f"euc{mb}"]) for mb in (1, 10)]
    return cases, scaling


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


def direction_table(cases: list) -> list:
    rows = [
        "| Direction | Program | Best s | Median s | CPU s | MB/s | zekt ÷ this | Peak RSS MB |",
        "|---|---|---:|---:|---:|---:|---:|---:|",
    ]
    groups = list(dict.fromkeys(c.group for c in cases))
    for group in groups:
        members = [c for c in cases if c.group == group]
        zekt = next(c for c in members if c.program == "zekt")
        for c in members:
            rows.append(
                f"| {group if c is members[0] else ''} | {c.program} | {fmt(c.best)} | {fmt(c.median)} "
                f"| {fmt(c.best_cpu, 2)} | {fmt(c.mb / c.best, 0)} | {fmt(zekt.best / c.best, 2)} "
                f"| {fmt(c.peak_rss_mb, 1)} |"
            )
    return rows


def scaling_table(points: list) -> list:
    rows = [
        "| Input | Best s | Median s | ms per MB | Peak RSS MB |",
        "|---|---:|---:|---:|---:|",
    ]
    for c in points:
        rows.append(
            f"| {c.mb:.0f} MB | {fmt(c.best)} | {fmt(c.median)} | {fmt(1000 * c.best / c.mb, 2)} "
            f"| {fmt(c.peak_rss_mb, 1)} |"
        )
    return rows


def targets(cases: list, points: list) -> list:
    def find(group, program):
        return next(c for c in cases if c.group == group and c.program == program)

    checks = []
    for group in ("EUC → SJIS", "SJIS → EUC", "SJIS → JIS", "JIS → SJIS"):
        z, i, n = find(group, "zekt"), find(group, "iconv"), find(group, "nkf")
        checks.append((f"{group}: zekt ≤ iconv", z.best <= i.best, f"{fmt(z.best / i.best, 2)} × iconv"))
        checks.append((f"{group}: zekt ≤ nkf / 3", 3 * z.best <= n.best, f"{fmt(z.best / n.best, 2)} × nkf"))
    check, conv = find("check (EUC)", "zekt"), find("EUC → SJIS", "zekt")
    checks.append(("check ≥ 2 × as fast as converting the same input", 2 * check.best <= conv.best,
                   f"check takes {fmt(check.best / conv.best, 2)} of the conversion's time"))
    zekt_runs = [c for c in cases if c.program == "zekt"] + points
    worst = max(c.peak_rss_mb for c in zekt_runs)
    checks.append(("zekt peak RSS < 8 MB at every size", worst < 8, f"at most {fmt(worst, 1)} MB"))
    p10 = next(c for c in points if round(c.mb) == 10)
    p100 = points[-1]
    drift = (p100.best / p100.mb) / (p10.best / p10.mb) - 1
    checks.append((f"time per MB at {p100.mb:.0f} MB within 10% of 10 MB", drift <= 0.10,
                   f"{drift:+.1%}"))
    rows = ["| Target | Met | Figure |", "|---|---|---|"]
    rows += [f"| {name} | {'yes' if ok else '**no**'} | {figure} |" for name, ok, figure in checks]
    return rows


def write_report(path: Path, info: dict, args, cases: list, points: list, load: tuple, versions: dict) -> str:
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
        f"- Rounds: {args.rounds}, all programs interleaved in each round",
        f"- zekt: {versions['zekt']}; iconv: {versions['iconv']}; nkf: {versions['nkf']}",
        "",
        "## Corpus",
        "",
        f"Debian's `edict` dictionary ({EDICT.stat().st_size / MB:.1f} MB of EUC-JP text, mostly ASCII "
        f"glosses with Japanese headwords) repeated and cut at a line end to {args.size} MB; its Shift-JIS "
        "and JIS forms are made with `iconv -c` (which drops the few JIS X 0212 characters). "
        "Files live in bench/corpus/, which git ignores.",
        "",
        "## Commands",
        "",
        "Every program reads the corpus on its standard input and writes to /dev/null; line ends are kept "
        "on all sides.",
        "",
        "- zekt: `zekt -s|-e|-j -nr` (input code detected), check mode `zekt -c`",
        "- iconv (glibc): `iconv -c -f FROM -t TO`",
        "- nkf: `nkf -x -m0 -s|-e|-j` (input code guessed, half-width kana kept, no MIME decoding, "
        "no -L so line ends stay), and `nkf --guess` against the check mode",
        "- floor: bench/floor.cpp, EUC → Shift-JIS arithmetic alone over 64 KiB fread/fwrite buffers",
        "",
        "## Throughput",
        "",
        "Best and median are wall-clock seconds over the rounds; CPU is the best user + system time. "
        "MB/s is the input size over the best time. \"zekt ÷ this\" is zekt's best time over this "
        "program's: below 1 zekt is faster.",
        "",
        *direction_table(cases),
        "",
        "## Scaling",
        "",
        "zekt -s -nr over EUC inputs of three sizes (the largest is the run above).",
        "",
        *scaling_table(points),
        "",
        "## Targets",
        "",
        *targets(cases, points),
        "",
        "## What bounds zekt",
        "",
        "Instructions per input byte, counted with `valgrind --tool=callgrind` on the first 5 MB of "
        "each corpus file when the engine was last tuned (instruction counts, unlike times, do not "
        "depend on the load of the machine):",
        "",
        "| Direction | zekt | zekt before tuning | iconv |",
        "|---|---:|---:|---:|",
        "| EUC → SJIS | 90 | 180 | 46 |",
        "| SJIS → EUC | 91 | 189 | 74 |",
        "| SJIS → JIS | 98 | 204 | 79 |",
        "| JIS → SJIS | 87 | 180 | 45 |",
        "| check (EUC) | 35 | 69 | – |",
        "",
        "The floor takes 16. zekt's design fixes the work per byte: every input byte comes through "
        "the virtual `readByte` (about 16 instructions with the stream's bounds check and the "
        "compiler's guard for the devirtualised call), is decoded twice by `decodeByte`, once by the "
        "block scan and once by the conversion (13 to 20 each), and every character goes through "
        "`writeChar`, the encoder table and one virtual `writeByte` per output byte (about 12 each). "
        "That is some 60 instructions before any conversion work, more than glibc's iconv spends in "
        "all on EUC → Shift-JIS and on JIS → Shift-JIS, which it converts buffer by buffer with the "
        "whole input held in memory (its peak RSS is the input's size). The times above follow "
        "these counts closely.",
        "",
    ]
    text = "\n".join(lines)
    path.write_text(text)
    return text


# ---------------------------------------------------------------- main


def main() -> None:
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--zekt", required=True)
    parser.add_argument("--floor", required=True)
    parser.add_argument("--rounds", type=int, default=5)
    parser.add_argument("--size", type=int, default=100, help="corpus size in MB")
    parser.add_argument("--corpus", default="bench/corpus")
    parser.add_argument("--report", default="docs/benchmarks.md")
    args = parser.parse_args()

    files = prepare_corpus(Path(args.corpus), args.size)
    cases, scaling = make_cases(args.zekt, args.floor, files, args.size)
    load_start = os.getloadavg()[0]
    for r in range(1, args.rounds + 1):
        print(f"round {r}/{args.rounds}", flush=True)
        for case in cases + scaling:
            run_once(case)
    load_end = os.getloadavg()[0]

    big = next(c for c in cases if c.group == "EUC → SJIS" and c.program == "zekt")
    points = scaling + [Case(f"scaling {args.size} MB", "zekt", big.argv, big.input, big.walls, big.cpus, big.rss_kb)]
    versions = {
        "zekt": first_line([args.zekt, "-v"]),
        "iconv": first_line(["iconv", "--version"]),
        "nkf": first_line(["nkf", "--version"]),
    }
    text = write_report(Path(args.report), machine(), args, cases, points,
                        (f"{load_start:.2f}", f"{load_end:.2f}"), versions)
    print(text)


if __name__ == "__main__":
    main()
