#!/usr/bin/env python3
"""How often zekt names the right code, beside nkf --guess and uchardet.

Real Japanese text (mecab-ipadic's dictionary sources and the Japanese
manual pages) is made into EUC, Shift-JIS, JIS and UTF-8 with glibc's iconv,
keeping only lines that come back unchanged in all four. Snippets of each
length are taken from it, whole (from a line's start, ending between
characters) and cut (at a random byte offset), and each is given to
`zekt -c`, to a zekt conversion, to `nkf --guess` and to `uchardet`. An
answer is right when it names the code the snippet is in, or a code that
converts it to the same text. Whole files with the first 8-bit byte (or
escape) around the block and window boundaries, and the files that showed
the faults, are checked one by one. Writes docs/detection.md.
"""
import argparse
import ctypes
import datetime
import gzip
import os
import platform
import random
import shutil
import subprocess
import tempfile
from pathlib import Path

CODES = ["euc", "sjis", "jis", "utf8"]
ICONV_NAME = {"euc": "EUC-JP", "sjis": "SHIFT_JIS", "jis": "ISO-2022-JP", "utf8": "UTF-8"}
FORCE = {"euc": "-E", "sjis": "-S", "jis": "-J", "utf8": "-U8"}
LABEL = {"euc": "EUC", "sjis": "Shift-JIS", "jis": "JIS", "utf8": "UTF-8"}
CHECK_WORD = {"ASCII": "ascii", "EUC": "euc", "SJIS": "sjis", "JIS": "jis", "UTF8": "utf8"}
LENGTHS = [2, 4, 8, 16, 32, 64, 128, 512, 4096]
FILE_OFFSETS = [*range(1020, 1031), *range(2044, 2053), *range(65530, 65541)]
IPADIC = Path("/usr/share/mecab/dic/ipadic")
MANPAGES = Path("/usr/share/man/ja")


class Iconv:
    """glibc's iconv through its C interface: one call per text."""

    libc = ctypes.CDLL(None, use_errno=True)
    libc.iconv_open.restype = ctypes.c_void_p
    libc.iconv_open.argtypes = [ctypes.c_char_p, ctypes.c_char_p]
    libc.iconv.restype = ctypes.c_size_t
    libc.iconv.argtypes = [ctypes.c_void_p] + [ctypes.c_void_p] * 4

    def __init__(self, to: str, frm: str):
        self.cd = self.libc.iconv_open(to.encode(), frm.encode())

    def __call__(self, data: bytes):
        self.libc.iconv(self.cd, None, None, None, None)
        inbuf = ctypes.create_string_buffer(data, len(data))
        out = ctypes.create_string_buffer(len(data) * 4 + 16)
        inptr, outptr = ctypes.c_char_p(ctypes.addressof(inbuf)), ctypes.c_char_p(ctypes.addressof(out))
        inleft, outleft = ctypes.c_size_t(len(data)), ctypes.c_size_t(len(out))
        args = [ctypes.byref(inptr), ctypes.byref(inleft), ctypes.byref(outptr), ctypes.byref(outleft)]
        if self.libc.iconv(self.cd, *args) == ctypes.c_size_t(-1).value:
            return None
        if self.libc.iconv(self.cd, None, None, args[2], args[3]) == ctypes.c_size_t(-1).value:
            return None
        return out.raw[: len(out) - outleft.value]


ENCODE = {c: Iconv(ICONV_NAME[c], "UTF-8") for c in CODES}
DECODE = {c: Iconv("UTF-8", ICONV_NAME[c]) for c in CODES}


def encode(code: str, text: str):
    data = text.encode()
    out = ENCODE[code](data)
    return out if out is not None and DECODE[code](out) == data else None


def source_lines(rng: random.Random, wanted: int) -> list:
    """Lines with Japanese in them that every code carries both ways, in a
    random order: as many from the manual pages as from the dictionary."""
    dictionary = [line for p in sorted(IPADIC.glob("*.csv"))
                  for line in p.read_bytes().decode("euc_jp", "replace").splitlines()]
    manuals = [line for p in sorted(MANPAGES.glob("man*/*.gz"))
               for line in gzip.open(p).read().decode("utf-8", "replace").splitlines()]
    lines = []
    for source in (dictionary, manuals):
        rng.shuffle(source)
        taken = 0
        for line in source:
            if taken == wanted // 2:
                break
            if not any(ord(ch) > 0x7F for ch in line) or any(ord(ch) < 0x20 and ch != "\t" for ch in line):
                continue
            if all(encode(c, line) is not None for c in CODES):
                lines.append(line)
                taken += 1
    rng.shuffle(lines)
    return lines


def whole_snippet(code: str, lines: list, start: int, length: int):
    """From a line's start, the most whole characters that fit."""
    text, best = "\n".join(lines[start : start + 1 + length // 8]), None
    low, high = 1, len(text)
    while low <= high:  # longest prefix whose encoding fits
        mid = (low + high) // 2
        data = encode(code, text[:mid])
        if data is not None and len(data) <= length:
            best, low = data, mid + 1
        else:
            high = mid - 1
    return best


def stream(code: str, lines: list) -> bytes:
    return b"\n".join(ENCODE[code](line.encode()) for line in lines) + b"\n"


def telling(code: str, data: bytes) -> bool:
    """Has something to tell a code by: an 8-bit byte, or an escape in JIS."""
    return b"\x1b" in data if code == "jis" else any(b >= 0x80 for b in data)


def make_snippets(rng: random.Random, lines: list, streams: dict, code: str, length: int, whole: bool,
                  count: int) -> list:
    found = []
    for _ in range(count * 50):
        if len(found) == count:
            break
        if whole:
            data = whole_snippet(code, lines, rng.randrange(len(lines)), length)
        else:
            s = streams[code]
            at = rng.randrange(len(s) - length)
            data = s[at : at + length]
        if data and telling(code, data):
            found.append(data)
    return found


class Batch:
    """Snippets as files, run through each program once per batch."""

    def __init__(self, root: Path, snippets: list):
        self.root, self.n = root, len(snippets)
        shutil.rmtree(root, ignore_errors=True)
        (root / "in").mkdir(parents=True)
        for i, data in enumerate(snippets):
            (root / "in" / f"{i}.txt").write_bytes(data)

    def names(self, sub: str) -> list:
        return [str(self.root / sub / f"{i}.txt") for i in range(self.n)]

    def converted(self, zekt: str, options: list, sub: str) -> list:
        shutil.copytree(self.root / "in", self.root / sub)
        subprocess.run([zekt, "-overwrite", *options, "-u8", "-lf", *self.names(sub)],
                       stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, check=False)
        return [Path(n).read_bytes() for n in self.names(sub)]

    def answers(self, argv: list, program: str) -> list:
        out = subprocess.run(argv + self.names("in"), capture_output=True, check=False).stdout.decode()
        by_name = {}
        for line in out.splitlines():
            name, _, rest = line.partition(": ")
            by_name[name] = rest.split()[0] if rest.split() else ""
        return [code_of(program, by_name.get(n, "")) for n in self.names("in")]


def code_of(program: str, word: str):
    if program == "zekt":
        return CHECK_WORD.get(word)
    if word.upper() == "ASCII":
        return "ascii"
    word = word.upper().replace("-", "_")
    if word.startswith(("EUC", "CP51932")):
        return "euc"
    if word.startswith(("SHIFT_JIS", "CP932", "WINDOWS_31J", "SJIS")):
        return "sjis"
    if word.startswith("ISO_2022_JP"):
        return "jis"
    if word.startswith("UTF_8"):
        return "utf8"
    return None


def score(zekt: str, base, root: Path, code: str, snippets: list) -> dict:
    batch = Batch(root, snippets)
    outputs = {}

    def forced(named: str) -> list:
        named = "euc" if named == "ascii" else named  # without 8-bit bytes read alike
        if named not in outputs:
            outputs[named] = batch.converted(zekt, [FORCE[named]], f"forced-{named}")
        return outputs[named]

    def right(i: int, named) -> bool:
        return named is not None and (named == code or forced(named)[i] == forced(code)[i])

    results = {}
    conv = batch.converted(zekt, [], "detected")
    check = batch.answers([zekt, "-c"], "zekt")
    results["zekt -c"] = [right(i, c) for i, c in enumerate(check)]
    results["zekt"] = [conv[i] == forced(code)[i] for i in range(batch.n)]
    results["agree"] = [c is not None and conv[i] == forced(c)[i] for i, c in enumerate(check)]
    if base:
        old = batch.converted(base, [], "baseline")
        results["before"] = [old[i] == forced(code)[i] for i in range(batch.n)]
    results["nkf"] = [right(i, c) for i, c in enumerate(batch.answers(["nkf", "--guess"], "nkf"))]
    results["uchardet"] = [right(i, c) for i, c in enumerate(batch.answers(["uchardet"], "uchardet"))]
    return results


def file_cases(lines: list) -> list:
    """Whole files: (name, code, bytes)."""
    text = "\n".join(lines[:40]) + "\n"
    cases = []
    for code in CODES:
        body = encode(code, text)
        cases += [(f"{LABEL[code]}, first at {o}", code, b"a" * o + body) for o in FILE_OFFSETS]
    hashes = b"#" * 1023
    cases += [
        ("UTF-8 cut by the first block", "utf8", hashes + "日本語のテキスト\n".encode()),
        ("UTF-8 with © and é first", "utf8", "(c) © Café München\n息子\n".encode()),
        ("UTF-8 cut at the end", "utf8", "日本語のテキスト".encode()[:-1]),
        ("Shift-JIS 上場 失踪", "sjis", encode("sjis", "上場 失踪\n")),
        ("UTF-8 with a byte order mark and a stray byte", "utf8", b"\xef\xbb\xbf" + "日本語".encode() + b"\x82\n"),
    ]
    cases += [(f"Shift-JIS {ch} cut by the first block", "sjis", hashes + encode("sjis", ch + "験です\n"))
              for ch in "試取事字時自社書生"]
    return cases


def check_files(zekt: str, base: str, root: Path, cases: list) -> tuple:
    """What zekt gets wrong, and how many conversions the baseline gets wrong."""
    wrong, base_wrong = [], 0
    for code in CODES:
        group = [c for c in cases if c[1] == code]
        batch = Batch(root / code, [c[2] for c in group])
        conv = batch.converted(zekt, [], "detected")
        forced = batch.converted(zekt, [FORCE[code]], "forced")
        check = batch.answers([zekt, "-c"], "zekt")
        for i, (name, _, _) in enumerate(group):
            if check[i] != code or conv[i] != forced[i]:
                wrong.append(f"{name}: check says {check[i]}, conversion {'right' if conv[i] == forced[i] else 'wrong'}")
        if base:
            old = batch.converted(base, [], "baseline")
            base_wrong += sum(old[i] != forced[i] for i in range(batch.n))
    return wrong, base_wrong, len(cases)


def version(argv: list) -> str:
    try:
        out = subprocess.run(argv, capture_output=True, text=True, check=False)
        return (out.stdout or out.stderr).strip().splitlines()[0].strip()
    except (OSError, IndexError):
        return "?"


def package_version(name: str) -> str:
    return version(["dpkg-query", "-W", "-f=${Version}", name])


def percent(flags: list) -> str:
    return f"{100 * sum(flags) / len(flags):.1f}" if flags else "n/a"


def main() -> None:
    ap = argparse.ArgumentParser()
    ap.add_argument("--zekt", required=True)
    ap.add_argument("--baseline", default="")
    ap.add_argument("--seed", type=int, default=17)
    ap.add_argument("--count", type=int, default=300)
    ap.add_argument("--out", default="docs/detection.md")
    args = ap.parse_args()
    rng = random.Random(args.seed)
    lines = source_lines(rng, 40000)
    streams = {c: stream(c, lines) for c in CODES}
    columns = ["zekt -c", "zekt"] + (["before"] if args.baseline else []) + ["nkf", "uchardet"]
    tables, disagree = {}, []
    # Thousands of small files: in memory where there is a tmpfs.
    with tempfile.TemporaryDirectory(dir="/dev/shm" if os.path.isdir("/dev/shm") else None) as tmp:
        for whole in (True, False):
            for code in CODES:
                for length in LENGTHS:
                    snippets = make_snippets(rng, lines, streams, code, length, whole, args.count)
                    if not snippets:
                        tables[(whole, code, length)] = (0, {})
                        continue
                    res = score(args.zekt, args.baseline, Path(tmp) / "s", code, snippets)
                    tables[(whole, code, length)] = (len(snippets), res)
                    if length <= 1024 and not all(res["agree"]):
                        disagree.append(f"{LABEL[code]}, {length} bytes, {'whole' if whole else 'cut'}: "
                                        f"{res['agree'].count(False)} of {len(snippets)}")
                    print(f"{'whole' if whole else 'cut'} {code} {length}: {len(snippets)}", flush=True)
        files = check_files(args.zekt, args.baseline, Path(tmp) / "f", file_cases(lines))
    write_report(args, lines, columns, tables, disagree, files)


def write_report(args, lines, columns, tables, disagree, files) -> None:
    wrong, base_wrong, file_count = files
    out = [
        "# Detection",
        "",
        "How often zekt names the right input code, measured by `make detect-report`",
        "(`bench/detect-report.sh`), beside `nkf --guess` and `uchardet` on the same snippets.",
        "",
        f"- Date: {datetime.date.today()}; seed of the sampling: {args.seed}; machine: {platform.machine()}",
        f"- zekt: {' '.join(version([args.zekt, '-v']).split())}; nkf: {version(['nkf', '--version'])}; "
        f"uchardet: {package_version('uchardet')} (Debian)",
        f"- Text: mecab-ipadic {package_version('mecab-ipadic')} (dictionary sources) and "
        f"manpages-ja {package_version('manpages-ja')}, {len(lines)} lines with Japanese that glibc's iconv "
        f"({version(['iconv', '--version'])}) carries to EUC-JP, SHIFT_JIS, ISO-2022-JP and UTF-8 and back",
        "",
        f"Up to {args.count} snippets per code and length, each holding at least one 8-bit byte (JIS: an",
        "escape). *Whole*: from a line's start, as many whole characters (and lines) as fit in the length.",
        "*Cut*: that many bytes from a random offset in the text, lines joined by LF. An answer is right",
        "when it names the code of the snippet, or a code that zekt converts it from to the same UTF-8;",
        "`zekt` is the conversion (`zekt -u8 -lf`), right when its output is that of the forced code.",
    ]
    if args.baseline:
        out.append("`before` is the conversion of the zekt this change started from.")
    out.append("")
    for whole in (True, False):
        out += [f"## {'Whole lines' if whole else 'Cut at a random byte'} (% right)", ""]
        for code in CODES:
            out += [f"### {LABEL[code]}", "", "| bytes | snippets | " + " | ".join(columns) + " |",
                    "|---:|---:|" + "---:|" * len(columns)]
            for length in LENGTHS:
                n, res = tables[(whole, code, length)]
                cells = [percent(res.get(c, [])) for c in columns]
                out.append(f"| {length} | {n} | " + " | ".join(cells) + " |")
            out.append("")
    out += ["## Check and conversion", ""]
    out += ["On snippets of 1024 bytes or less the check names the code the conversion used: "
            + ("always." if not disagree else "not always:"), ""]
    out += [f"- {d}" for d in disagree] + ([""] if disagree else [])
    out += ["## Whole files", "",
            "In every code, with the first 8-bit byte (JIS: the escape) at offsets 1020-1030, 2044-2052 and "
            "65530-65540, and the files that showed the faults (a character cut by the first block's end, "
            "Latin letters before Japanese in UTF-8, UTF-8 cut at the end, Shift-JIS that EUC cannot hold, "
            "a byte order mark before a stray byte): the check and the conversion are "
            + ("right on every one." if not wrong else "wrong on these:"), ""]
    out += [f"- {w}" for w in wrong] + ([""] if wrong else [])
    if args.baseline:
        out += [f"The zekt this change started from converted {base_wrong} of these {file_count} files wrong.", ""]
    out += ["Snippets of two to eight bytes are often valid in more than one code (`EB A1` is an EUC kanji and",
            "the start of a UTF-8 character); which code such a snippet is in cannot be told from its bytes.", ""]
    Path(args.out).write_text("\n".join(out))
    print(f"wrote {args.out}")


if __name__ == "__main__":
    main()
