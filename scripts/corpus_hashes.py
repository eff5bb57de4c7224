#!/usr/bin/env python3
"""Hashes what a zekt binary makes of a fixed corpus under many option sets,
so that two binaries can be compared case by case: a change that should
leave behaviour alone must leave every line the same.

  scripts/corpus_hashes.py ZEKT OUT.tsv      hash ZEKT's outputs into OUT.tsv
  scripts/corpus_hashes.py --diff A.tsv B.tsv  list the cases that differ

The corpus: the samples, the fuzz seeds, 2 MB of edict and the mecab-ipadic
sources in every code glibc's iconv writes (installed by bench/run.sh's
packages), and fixed-seed random text, well-formed and malformed."""
import hashlib
import random
import subprocess
import sys
import tempfile
from pathlib import Path

ROOT = Path(__file__).resolve().parent.parent
OPTION_SETS = [
    "", "-e", "-s", "-j", "-u8", "-u16", "-U16", "-c", "-lf", "-crlf", "-cr", "-u8 -lf", "-s -crlf",
    "-Z -X -xNOWIN", "-e -Z", "-s -X", "-j -xNOWIN", "-xMS -u8", "-xMS -s", "-E -u8", "-S -u8",
    "-J -u8", "-U8 -s", "-jROMAJI -jKANA8", "-jSISO", "-jNEC", "-j1978", "-nk", "-nk -lf", "-nk -crlf",
    "-nk -Z -X", "-nb -u8",
]


def iconv(data: bytes, to: str) -> bytes:
    return subprocess.run(["iconv", "-c", "-f", "EUC-JP", "-t", to], input=data,
                          capture_output=True, check=False).stdout


def corpus() -> dict:
    files = {}
    for p in sorted((ROOT / "samples").glob("*.txt")) + sorted((ROOT / "tests/fuzz/seeds").iterdir()):
        files[p.name] = p.read_bytes()
    sources = {"edict": Path("/usr/share/edict/edict")}
    ipadic = sorted(Path("/usr/share/mecab/dic/ipadic").glob("*.csv"))[:6]
    texts = {}
    # Whole lines, so that no character is cut at the end.
    if sources["edict"].exists():
        head = sources["edict"].read_bytes()[: 2 << 20]
        texts["edict"] = head[: head.rindex(b"\n") + 1]
    if ipadic:
        head = b"".join(p.read_bytes() for p in ipadic)[: 2 << 20]
        texts["ipadic"] = head[: head.rindex(b"\n") + 1]
    for stem, euc in texts.items():
        files[f"{stem}.euc"] = euc
        files[f"{stem}.sjis"] = iconv(euc, "CP932")
        files[f"{stem}.jis"] = iconv(euc, "ISO-2022-JP")
        files[f"{stem}.utf8"] = iconv(euc, "UTF-8")
        files[f"{stem}.utf16"] = iconv(euc, "UTF-16")
    rng = random.Random(26)
    pieces = [b"a", b"\n", b"\r\n", b"\r", b" ", b"\xa4\xa2", b"\x82\xa0", b"\xe3\x81\x82", b"\xb1",
              b"\x1b$B", b"\x1b(B", b"\x8e\xb1", b"\x8f\xa2\xc3", b"\xc3\xa9", b"\x0e", b"\x0f", b"0!"]
    for n in range(300):
        length = rng.choice([1, 2, 3, 5, 17, 1023, 1024, 1025, 3000])
        if n % 2:
            data = bytes(rng.randrange(256) for _ in range(length))
        else:
            data = b"".join(rng.choice(pieces) for _ in range(length))[:length]
        files[f"random-{n}"] = data
    return files


def run(zekt: str, options: str, data: bytes, path: Path) -> str:
    path.write_bytes(data)
    r = subprocess.run([zekt, *options.split(), str(path)], capture_output=True, check=False)
    err = r.stderr.replace(str(path).encode(), b"FILE")
    out = r.stdout.replace(str(path).encode(), b"FILE")
    return "\t".join([hashlib.sha256(out).hexdigest()[:16], hashlib.sha256(err).hexdigest()[:16],
                      str(r.returncode)])


def hash_all(zekt: str, out: Path) -> None:
    with tempfile.TemporaryDirectory() as tmp:
        path = Path(tmp) / "input.txt"
        lines = [f"{name}\t{options or '(none)'}\t{run(zekt, options, data, path)}"
                 for name, data in corpus().items() for options in OPTION_SETS]
    out.write_text("\n".join(lines) + "\n")
    print(f"{len(lines)} cases hashed into {out}")


def diff(a: Path, b: Path) -> None:
    def load(p: Path) -> dict:
        return {tuple(l.split("\t")[:2]): l.split("\t")[2:] for l in p.read_text().splitlines()}
    before, after = load(a), load(b)
    changed = [k for k in before if before[k] != after.get(k)]
    for name, options in changed:
        what = [w for w, x, y in zip(("output", "messages", "status"), before[(name, options)],
                                     after[(name, options)]) if x != y]
        print(f"{name}\t{options}\t{', '.join(what)}")
    print(f"{len(changed)} of {len(before)} cases differ")


if __name__ == "__main__":
    if sys.argv[1] == "--diff":
        diff(Path(sys.argv[2]), Path(sys.argv[3]))
    else:
        hash_all(sys.argv[1], Path(sys.argv[2]))
