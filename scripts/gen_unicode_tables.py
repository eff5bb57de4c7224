#!/usr/bin/env python3
"""Writes engine/codec/unicode_tables.h, the EUC <-> Unicode tables, and
engine/codec/cp932_tables.h, code page 932's own, from glibc's iconv as
checked in under data/mappings/, so that zekt agrees with glibc byte for byte
and the tables come out the same on every machine.

  EUC -> Unicode: glibc's EUC-JP for every JIS X 0208 and JIS X 0212 cell,
      plus NEC row 13 and rows 89-92 as code page 932 maps them (glibc's CP932
      of the Shift-JIS equivalents).
  Unicode -> EUC: glibc's EUC-JP for every code point from U+00A0 up, then
      the Windows forms of six JIS X 0208 cells, then row 13, then rows 89-92,
      each only where nothing earlier claimed the code point.

Half-width katakana (U+FF61-U+FF9F <-> 0x8EA1-0x8EDF) is arithmetic in
unicode_map.h; it is checked here against glibc but left out of the tables.

In cp932_tables.h, code page 932 (Windows Shift-JIS) as glibc's CP932 has it:

  cp932ExtensionToUnicode: the code point of each code of the leads
      0xED-0xFC (the NEC-selected and IBM kanji, the user-defined area).
  ibmExtensionCells: for each IBM extension code 0xFA40-0xFC4B, the EUC cell
      of the same character elsewhere in code page 932 (JIS X 0208 first,
      then NEC row 13, then rows 89-92), as Microsoft's EUC writes it.
  cp932Pages: the code page 932 code of every code point it maps, from
      U+0080 up (what `iconv -t CP932` writes).

The data, one mapping a line (`0xA1A1 0x3000`), each file opening with what
it holds and the glibc it came from:

  eucjp-to-unicode.txt  glibc's EUC-JP read: the JIS X 0208 pairs and
                        JIS X 0212 triples that make a character
  unicode-to-eucjp.txt  glibc's EUC-JP written, from U+00A0 up
  cp932-to-unicode.txt  glibc's CP932 read: the two-byte codes of the leads
                        0x81-0x9F and 0xE0-0xFC that make a character
  unicode-to-cp932.txt  glibc's CP932 written, from U+0080 up
  sjisx0213-to-unicode.txt, unicode-to-sjisx0213.txt,
  eucjisx0213-to-unicode.txt, unicode-to-eucjisx0213.txt
                        glibc's SHIFT_JISX0213 and EUC-JISX0213 both ways,
                        a code that stands for two code points written
                        0x304B+0x309A; jisx0213_tables.h is made of the
                        EUC-JISX0213 files, and the Shift_JISX0213 ones are
                        checked against the arithmetic between the two

Usage:
  scripts/gen_unicode_tables.py [output [cp932 output]]
      writes the headers from the data (by default the two in engine/codec/).
  scripts/gen_unicode_tables.py --check
      fails, showing the difference, when a checked-in header is not what
      the data makes (a ctest, tables_up_to_date).
  scripts/gen_unicode_tables.py --extract [folder]
      asks this machine's glibc (the iconv program) again and writes the data
      (by default to data/mappings/); rerun without options after it.
Needs only Python 3; --extract also glibc's iconv program.
"""

import difflib
import pathlib
import re
import subprocess
import sys

ROOT = pathlib.Path(__file__).resolve().parent.parent
DEFAULT_OUTPUT = ROOT / "engine" / "codec" / "unicode_tables.h"
DEFAULT_CP932_OUTPUT = ROOT / "engine" / "codec" / "cp932_tables.h"
DEFAULT_X0213_OUTPUT = ROOT / "engine" / "codec" / "jisx0213_tables.h"
DEFAULT_DATA = ROOT / "data" / "mappings"
EUCJP_DECODED = "eucjp-to-unicode.txt"
EUCJP_ENCODED = "unicode-to-eucjp.txt"
CP932_DECODED = "cp932-to-unicode.txt"
CP932_ENCODED = "unicode-to-cp932.txt"

CELLS = range(0xA1, 0xFF)  # an EUC lead or trail byte: row or cell 1-94
ROW13 = [0xAD]
ROWS89_92 = [0xF9, 0xFA, 0xFB, 0xFC]

# Windows forms of JIS X 0208 cells, accepted one-way on input.
WINDOWS_EXTRAS = {
    0x2225: 0xA1C2,  # PARALLEL TO            (glibc: U+2016)
    0xFF0D: 0xA1DD,  # FULLWIDTH HYPHEN-MINUS (glibc: U+2212)
    0xFFE0: 0xA1F1,  # FULLWIDTH CENT SIGN    (glibc: U+00A2)
    0xFFE1: 0xA1F2,  # FULLWIDTH POUND SIGN   (glibc: U+00A3)
    0xFFE2: 0xA2CC,  # FULLWIDTH NOT SIGN     (glibc: U+00AC)
    0x2014: 0xA1BD,  # EM DASH                (glibc: U+2015)
}

EXPECTED_JIS_X_0208 = 6879
EXPECTED_JIS_X_0212 = 6067
KANA_FIRST, KANA_LAST = 0xFF61, 0xFF9F  # <-> 0x8EA1-0x8EDF
PER_LINE = 12
# What every generated header opens with, after its description.
OPENING = ["// clang-format off", "#pragma once", "", "#include <array>", "#include <cstdint>", "",
           "namespace zekt {", ""]


def cell_index(lead, trail):
    return (lead - 0xA1) * 94 + (trail - 0xA1)


def euc_to_sjis(e1, e2):
    s1 = ((e1 - 1) >> 1) + (0x31 if e1 <= 0xDE else 0x71)
    if e1 & 1:
        s2 = e2 - 0x61 if e2 <= 0xDF else e2 - 0x60
    else:
        s2 = e2 - 2
    return bytes([s1, s2])


def jis_x0208(eucjp, cp932):
    """The JIS X 0208 table: glibc's EUC-JP, then rows 13 and 89-92 from CP932."""
    table = [0] * (94 * 94)
    glibc = {code: cp for code, cp in eucjp.items() if len(code) == 2}
    assert len(glibc) == EXPECTED_JIS_X_0208, len(glibc)
    for code, cp in glibc.items():
        assert code[0] in CELLS and code[1] in CELLS, code.hex()
        table[cell_index(*code)] = cp
    nec = nec_rows(cp932)
    for (lead, trail), cp in nec.items():
        assert table[cell_index(lead, trail)] == 0, f"glibc's EUC-JP defines {lead:X}{trail:X}"
        table[cell_index(lead, trail)] = cp
    return table, nec


def nec_rows(cp932):
    """{(lead, trail): code point} for rows 13 and 89-92, from CP932."""
    cells = [(lead, trail) for lead in ROW13 + ROWS89_92 for trail in CELLS]
    return {cell: cp932[euc_to_sjis(*cell)] for cell in cells if euc_to_sjis(*cell) in cp932}


def jis_x0212(eucjp):
    """The JIS X 0212 table, from glibc's EUC-JP."""
    table = [0] * (94 * 94)
    count = 0
    for code, cp in eucjp.items():
        if len(code) != 3:
            continue
        assert code[0] == 0x8F and code[1] in CELLS and code[2] in CELLS, code.hex()
        table[cell_index(code[1], code[2])] = cp
        count += 1
    assert count == EXPECTED_JIS_X_0212, count
    return table


def form(value):
    """Which of the packed forms a value is in. The forms are disjoint, so
    unicode_map.h can tell them apart by the value alone."""
    lead, trail = value >> 8, value & 0xFF
    forms = [name for name, fits in [
        ("single byte", 0x01 <= value <= 0x7F),
        ("JIS X 0208", 0xA1 <= lead <= 0xFE and 0xA1 <= trail <= 0xFE),
        ("JIS X 0212", 0xA1 <= lead <= 0xFE and 0x21 <= trail <= 0x7E),
    ] if fits]
    assert len(forms) == 1, f"{value:04X} fits {forms}"
    return forms[0]


def packed(code):
    """The 16-bit table form of glibc's EUC-JP bytes for one code point."""
    if len(code) == 1:
        value, expected = code[0], "single byte"
    elif len(code) == 2:
        value, expected = code[0] << 8 | code[1], "JIS X 0208"
    else:
        assert len(code) == 3 and code[0] == 0x8F and code[2] >= 0xA1, code.hex()
        value, expected = code[1] << 8 | (code[2] & 0x7F), "JIS X 0212"
    assert form(value) == expected, code.hex()
    return value


def reverse(written, nec):
    """{code point: packed EUC} over the BMP."""
    table = {}
    for cp, code in written.items():
        assert 0xA0 <= cp <= 0xFFFF, f"glibc maps U+{cp:X}; the tables cover only the BMP"
        if code[0] == 0x8E:
            assert KANA_FIRST <= cp <= KANA_LAST and code == bytes([0x8E, cp - 0xFEC0]), hex(cp)
            continue
        table[cp] = packed(code)
    for cp in range(KANA_FIRST, KANA_LAST + 1):
        assert cp not in table

    def claim(cp, value, what):
        if cp in table:
            print(f"note: U+{cp:04X} stays {table[cp]:04X} (glibc), not {value:04X} ({what})",
                  file=sys.stderr)
        else:
            table[cp] = value

    for cp, value in WINDOWS_EXTRAS.items():
        claim(cp, value, "Windows form")
    # Row 13 before rows 89-92, and each in cell order, so the first wins.
    for (lead, trail), cp in sorted(nec.items()):
        if cp not in table:
            table[cp] = lead << 8 | trail
            assert form(table[cp]) == "JIS X 0208"
    return table


def pages(table, count=256):
    """The two-level form: page index by code point >> 8 (count pages), page
    0 all zeros."""
    page_list = [[0] * 256]
    index = [0] * count
    for page in range(count):
        entries = [table.get(page << 8 | low, 0) for low in range(256)]
        if any(entries):
            index[page] = len(page_list)
            page_list.append(entries)
    assert max(table) < count << 8
    return index, page_list


def values(numbers, digits, indent):
    rows = []
    for start in range(0, len(numbers), PER_LINE):
        chunk = numbers[start:start + PER_LINE]
        rows.append(indent + ", ".join(f"0x{n:0{digits}X}" for n in chunk) + ",")
    return rows


def cell_table(name, table, prefix, out):
    out.append(f"inline constexpr std::array<std::uint16_t, 94 * 94> {name} = {{")
    for row in range(94):
        out.append(f"    // {prefix}{0xA1 + row:02X}A1-{prefix}{0xA1 + row:02X}FE (row {row + 1})")
        out.extend(values(table[row * 94:(row + 1) * 94], 4, "    "))
    out.append("};")
    out.append("")


def header(version, x0208, x0212, index, page_list):
    out = [
        "// Generated by scripts/gen_unicode_tables.py from glibc's iconv:",
        f"//   {version}",
        "// Do not edit; rerun the script instead.",
        "//",
        "// jisX0208ToUnicode, jisX0212ToUnicode: the code point of EUC lead, trail",
        "// (after 0x8F for JIS X 0212) at (lead - 0xA1) * 94 + (trail - 0xA1); 0 none.",
        "// unicodePages[unicodePageIndex[cp >> 8]][cp & 0xFF]: the EUC code of cp,",
        "// packed: 0 none; 0x01-0x7F a single byte; 0xA1A1-0xFEFE JIS X 0208;",
        "// 0xA121-0xFE7E JIS X 0212 (0x8F0000 | v | 0x80). Page 0 is all zeros.",
        "// The layout is the script's (a row of cells a line), not clang-format's.",
        *OPENING,
    ]
    cell_table("jisX0208ToUnicode", x0208, "0x", out)
    cell_table("jisX0212ToUnicode", x0212, "0x8F", out)
    page_table("unicode", index, page_list, out)
    out.append("}  // namespace zekt")
    return "\n".join(out) + "\n"


def page_table(prefix, index, page_list, out):
    """The two-level table {prefix}PageIndex and {prefix}Pages."""
    assert len(page_list) <= 256, "a page number must fit the index's byte"
    out.append(f"inline constexpr std::array<std::uint8_t, 256> {prefix}PageIndex = {{")
    out.extend(values(index, 2, "    "))
    out.append("};")
    out.append("")
    out.append("inline constexpr std::array<std::array<std::uint16_t, 256>, "
               f"{len(page_list)}> {prefix}Pages = {{{{")
    for number, page in enumerate(page_list):
        first = index.index(number) if number else None
        out.append("    // no mapping" if first is None else f"    // U+{first:02X}00-U+{first:02X}FF")
        out.append("    {{")
        out.extend(values(page, 4, "        "))
        out.append("    }},")
    out.append("}};")
    out.append("")



# ---------------------------------------------------------------- code page 932

SJIS_TRAILS = range(0x40, 0xFD)  # 0x7F is no trail, but keeps the index plain
CP932_LEADS = list(range(0x81, 0xA0)) + list(range(0xE0, 0xFD))
EXTENSION_LEADS = range(0xED, 0xFD)
IBM_LEADS = range(0xFA, 0xFD)
IBM_FIRST, IBM_LAST = 0xFA40, 0xFC4B
USER_FIRST, USER_LAST = 0xF040, 0xF9FC
EXPECTED_IBM = 388
EXPECTED_USER_DEFINED = 1880


def sjis_to_euc(s1, s2):
    e1 = 2 * s1 - (0x61 if s1 <= 0x9F else 0xE1)
    if s2 <= 0x7E:
        return e1 << 8 | (s2 + 0x61)
    if s2 <= 0x9E:
        return e1 << 8 | (s2 + 0x60)
    return (e1 + 1) << 8 | (s2 + 2)


def cp932_decode(cp932, leads):
    """{(lead, trail): code point} for the two-byte codes of these leads."""
    return {(code[0], code[1]): cp for code, cp in cp932.items() if code[0] in leads}


def extension_table(cp932):
    decoded = cp932_decode(cp932, EXTENSION_LEADS)
    ibm = [code for code in decoded if IBM_FIRST <= code[0] << 8 | code[1] <= IBM_LAST]
    user = [code for code in decoded if USER_FIRST <= code[0] << 8 | code[1] <= USER_LAST]
    assert len(ibm) == EXPECTED_IBM and len(user) == EXPECTED_USER_DEFINED, (len(ibm), len(user))
    assert all(0xE000 <= decoded[code] <= 0xE757 for code in user)
    table = [decoded.get((lead, trail), 0) for lead in EXTENSION_LEADS for trail in SJIS_TRAILS]
    return table, decoded


def ibm_cells(cp932, extension):
    """The EUC cell that Microsoft's EUC gives each IBM extension code."""
    standard = cp932_decode(cp932, list(range(0x81, 0xA0)) + list(range(0xE0, 0xEF)))
    by_row = {}
    for (lead, trail), cp in standard.items():
        cell = sjis_to_euc(lead, trail)
        row = (cell >> 8) - 0xA0
        rank = 2 if row >= 89 else 1 if row == 13 else 0
        if cp not in by_row or rank < by_row[cp][0]:
            by_row[cp] = (rank, cell)
    table = []
    for lead in IBM_LEADS:
        for trail in SJIS_TRAILS:
            cp = extension.get((lead, trail))
            if cp is None or (lead << 8 | trail) > IBM_LAST:
                table.append(0)
                continue
            assert cp in by_row, f"{lead:X}{trail:X} has no other code"
            table.append(by_row[cp][1])
    return table


def cp932_encode(written):
    """{code point: code page 932 code} from U+0080 up."""
    table = {}
    for cp, code in written.items():
        assert 0x80 <= cp <= 0xFFFF and len(code) <= 2, hex(cp)
        table[cp] = int.from_bytes(code, "big")
    return table


def cp932_header(version, extension, cells, index, page_list):
    out = [
        "// Generated by scripts/gen_unicode_tables.py from glibc's iconv:",
        f"//   {version}",
        "// Do not edit; rerun the script instead.",
        "//",
        "// cp932ExtensionToUnicode: the code point of Shift-JIS lead, trail at",
        "// (lead - 0xED) * 189 + (trail - 0x40), leads 0xED-0xFC; 0 none.",
        "// ibmExtensionCells: the EUC cell of the same character as Shift-JIS",
        "// lead, trail at (lead - 0xFA) * 189 + (trail - 0x40), 0xFA40-0xFC4B.",
        "// cp932Pages[cp932PageIndex[cp >> 8]][cp & 0xFF]: the code page 932 code",
        "// of cp (a byte, or lead << 8 | trail); 0 none. Page 0 is all zeros.",
        *OPENING,
        f"inline constexpr std::array<std::uint16_t, {len(extension)}> cp932ExtensionToUnicode = {{",
    ]
    for number, lead in enumerate(EXTENSION_LEADS):
        out.append(f"    // 0x{lead:02X}40-0x{lead:02X}FC")
        out.extend(values(extension[number * 189:(number + 1) * 189], 4, "    "))
    out.append("};")
    out.append("")
    out.append(f"inline constexpr std::array<std::uint16_t, {len(cells)}> ibmExtensionCells = {{")
    out.extend(values(cells, 4, "    "))
    out.append("};")
    out.append("")
    page_table("cp932", index, page_list, out)
    out.append("}  // namespace zekt")
    return "\n".join(out) + "\n"


def tables(data):
    """{header path: its text} from the data in the folder data."""
    version, eucjp, eucjp_written, cp932, cp932_written = read_data(data)
    x0208, nec = jis_x0208(eucjp, cp932)
    x0212 = jis_x0212(eucjp)
    index, page_list = pages(reverse(eucjp_written, nec))
    extension, decoded = extension_table(cp932)
    cp932_index, cp932_page_list = pages(cp932_encode(cp932_written))
    return {
        DEFAULT_OUTPUT: header(version, x0208, x0212, index, page_list),
        DEFAULT_CP932_OUTPUT: cp932_header(version, extension, ibm_cells(cp932, decoded),
                                           cp932_index, cp932_page_list),
        DEFAULT_X0213_OUTPUT: x0213_header(data),
    }


# ------------------------------------------------------------- JIS X 0213

X0213_LINE = re.compile(r"0x([0-9A-F]+)(?:\+0x([0-9A-F]+))? 0x([0-9A-F]+)(?:\+0x([0-9A-F]+))?")
X0213_PLANE = 94 * 94
X0213_PAIR = 0x1000000  # a decoded entry from here up: a pair of code points, by its number


def read_x0213(path):
    """[(first, second)] of one JIS X 0213 data file, each side a tuple of
    numbers (a code, or one or two code points)."""
    found = []
    for number, line in enumerate(path.read_text().splitlines(), 1):
        if line.startswith("#"):
            continue
        match = X0213_LINE.fullmatch(line)
        if not match:
            sys.exit(f"{shown(path)}:{number}: not a JIS X 0213 mapping: {line!r}")
        a, b, c, d = match.groups()
        first = tuple(int(x, 16) for x in (a, b) if x)
        second = tuple(int(x, 16) for x in (c, d) if x)
        found.append((first, second))
    return found


def x0213_index(code):
    """The decoding table's index of an EUC-JISX0213 pair or triple."""
    plane = 1 if code > 0xFFFF else 0
    lead, trail = (code >> 8) & 0xFF, code & 0xFF
    assert lead in CELLS and trail in CELLS, hex(code)
    return plane * X0213_PLANE + (lead - 0xA1) * 94 + (trail - 0xA1)


def x0213_sjis(code):
    """The Shift_JISX0213 code of an EUC-JISX0213 one, by the standard's
    arithmetic (the engine's, checked here against glibc's own data)."""
    if code <= 0xFF:
        return code
    if code >> 8 == 0x8E:
        return code & 0xFF
    row, cell = ((code >> 8) & 0xFF) - 0xA0, (code & 0xFF) - 0xA0
    if code > 0xFFFF:
        lead = (row + 0x1DF) // 2 - (row // 8) * 3 if row <= 15 else (row + 0x19B) // 2
    else:
        lead = (row + 0x101) // 2 if row <= 62 else (row + 0x181) // 2
    trail = cell + 0x9E if row % 2 == 0 else cell + 0x3F + (cell >= 64)
    return lead << 8 | trail


def x0213_data(data):
    """(decoded {code: code points}, encoded {code points: code}) of
    EUC-JISX0213, after checking Shift_JISX0213's data against them."""
    decoded = {code[0]: cps for code, cps in read_x0213(data / "eucjisx0213-to-unicode.txt")}
    encoded = {cps: code[0] for cps, code in read_x0213(data / "unicode-to-eucjisx0213.txt")}
    sjis_decoded = {code[0]: cps for code, cps in read_x0213(data / "sjisx0213-to-unicode.txt")}
    sjis_encoded = {cps: code[0] for cps, code in read_x0213(data / "unicode-to-sjisx0213.txt")}
    if sjis_decoded != {x0213_sjis(code): cps for code, cps in decoded.items()}:
        sys.exit("sjisx0213-to-unicode.txt is not eucjisx0213-to-unicode.txt by the arithmetic")
    # Shift_JISX0213 writes two code points as its single bytes (JIS X 0201
    # Roman), which EUC-JISX0213 cannot write at all.
    roman = {(0xA5,): 0x5C, (0x203E,): 0x7E}
    if sjis_encoded != {**{cps: x0213_sjis(code) for cps, code in encoded.items()}, **roman}:
        sys.exit("unicode-to-sjisx0213.txt is not unicode-to-eucjisx0213.txt by the arithmetic")
    return decoded, encoded


def x0213_header(data):
    decoded, encoded = x0213_data(data)
    version = read_mappings(data / EUCJP_DECODED)[1]
    pairs = sorted(cps for cps in encoded if len(cps) == 2)
    table = [0] * (2 * X0213_PLANE)
    for code, cps in decoded.items():
        table[x0213_index(code)] = X0213_PAIR + pairs.index(cps) if len(cps) == 2 else cps[0]
    assert all(decoded[encoded[cps]] == cps for cps in pairs)
    singles = {cps[0]: x0213_packed(code) for cps, code in encoded.items() if len(cps) == 1}
    index, page_list = pages(singles, 0x300)  # JIS X 0213 reaches U+2Axxx
    out = [
        "// Generated by scripts/gen_unicode_tables.py from glibc's iconv:",
        f"//   {version}",
        "// Do not edit; rerun the script instead.",
        "//",
        "// jisX0213ToUnicode: the code point of each EUC-JISX0213 code, plane 1",
        "// (lead, trail) at (lead - 0xA1) * 94 + (trail - 0xA1), plane 2 (0x8F, lead,",
        "// trail) 94 * 94 further on; 0 none; from jisX0213Pair up, the number of a",
        "// pair of code points in jisX0213Pairs (a base and a combining mark).",
        "// jisX0213Pages[jisX0213PageIndex[cp >> 8]][cp & 0xFF]: the code of cp below",
        "// U+30000, packed as unicodePages: 0 none, low byte >= 0xA1 as is (plane 1,",
        "// or 0x8E and a half-width kana), else plane 2 (0x8F0000 | v | 0x80).",
        "// jisX0213PairCodes: the plane 1 code of each pair.",
        "// The layout is the script's (a row of cells a line), not clang-format's.",
        *OPENING,
        f"inline constexpr std::uint32_t jisX0213Pair = 0x{X0213_PAIR:X};",
        "",
        f"inline constexpr std::array<std::uint32_t, 2 * 94 * 94> jisX0213ToUnicode = {{",
    ]
    for plane, prefix in ((0, "0x"), (1, "0x8F")):
        for row in range(94):
            start = plane * X0213_PLANE + row * 94
            out.append(f"    // {prefix}{0xA1 + row:02X}A1-{prefix}{0xA1 + row:02X}FE (plane {plane + 1}, row {row + 1})")
            out.extend(values(table[start:start + 94], 5, "    "))
    out += ["};", "",
            f"inline constexpr std::array<std::array<char32_t, 2>, {len(pairs)}> jisX0213Pairs = {{{{"]
    out += [f"    {{0x{a:04X}, 0x{b:04X}}}," for a, b in pairs]
    out += ["}};", "", f"inline constexpr std::array<std::uint16_t, {len(pairs)}> jisX0213PairCodes = {{"]
    out.extend(values([encoded[cps] for cps in pairs], 4, "    "))
    out += ["};", ""]
    out.append(f"inline constexpr std::array<std::uint16_t, {len(index)}> jisX0213PageIndex = {{")
    out.extend(values(index, 4, "    "))
    out += ["};", "",
            f"inline constexpr std::array<std::array<std::uint16_t, 256>, {len(page_list)}> jisX0213Pages = {{{{"]
    for number, page in enumerate(page_list):
        first = index.index(number) if number else None
        out.append("    // no mapping" if first is None else f"    // U+{first:02X}00-U+{first:02X}FF")
        out.append("    {{")
        out.extend(values(page, 4, "        "))
        out.append("    }},")
    out += ["}};", "", "}  // namespace zekt"]
    return "\n".join(out) + "\n"


def x0213_packed(code):
    """The 16-bit table form of an EUC-JISX0213 code."""
    assert code & 0xFF >= 0xA1 and (code <= 0xFFFF or code >> 16 == 0x8F), hex(code)
    return (code & 0xFF7F) if code > 0xFFFF else code


# ---------------------------------------------------------------- the data

def iconv(source, target, items):
    """Converts each item (bytes) alone: the items go through one iconv -c
    process, each followed by a newline, so an unconvertible one comes back
    as an empty line."""
    result = subprocess.run(["iconv", "-c", "-f", source, "-t", target],
                            input=b"".join(item + b"\n" for item in items),
                            capture_output=True, check=False)
    # -c exits with 1 when it dropped something; anything else is a failure.
    if result.returncode not in (0, 1):
        sys.exit(f"iconv -f {source} -t {target} failed: {result.stderr.decode(errors='replace')}")
    lines = result.stdout.split(b"\n")
    assert lines[-1] == b"" and len(lines) == len(items) + 1, (source, target, len(lines))
    return lines[:-1]


def decode(source, codes):
    """{code: code point} for each code (bytes) that glibc decodes to a
    single character."""
    found = {}
    for code, line in zip(codes, iconv(source, "UTF-8", codes)):
        text = line.decode("utf-8")
        assert len(text) <= 1, (source, code.hex(), text)
        if text:
            found[code] = ord(text)
    return found


def encode(target, first):
    """{code point: code (bytes)} for each code point from first up that
    glibc writes."""
    points = [cp for cp in range(first, 0x110000) if not 0xD800 <= cp <= 0xDFFF]
    lines = iconv("UTF-8", target, [chr(cp).encode() for cp in points])
    return {cp: code for cp, code in zip(points, lines) if code}


def own(source, codes, tails):
    """decode(source, codes) less what only a code's tail made: -c drops a
    code's first byte when the whole is undefined and reads on, so the tail
    can come out alone as a character of its own, the one in tails."""
    return {code: cp for code, cp in decode(source, codes).items() if tails.get(code[1:]) != cp}


def decode_sequences(source, codes):
    """{code: [code points]} for each code (bytes) that glibc decodes to one
    character or to a base and a combining mark."""
    found = {}
    for code, line in zip(codes, iconv(source, "UTF-8", codes)):
        text = line.decode("utf-8")
        assert len(text) <= 2, (source, code.hex(), text)
        if text:
            found[code] = [ord(c) for c in text]
    return found


def own_sequences(source, codes, tails):
    """decode_sequences less what only a code's tail made (as own)."""
    return {code: cps for code, cps in decode_sequences(source, codes).items() if tails.get(code[1:]) != cps}


def sequence_text(cps):
    return "+".join(point_text(cp) for cp in cps)


def extract_x0213(folder, version):
    """SHIFT_JISX0213 and EUC-JISX0213 both ways: every code, every code
    point, and the pairs of code points that a code stands for."""
    pairs = [bytes([lead, trail]) for lead in CELLS for trail in CELLS]
    euc = decode_sequences("EUC-JISX0213", pairs)
    euc.update(own_sequences("EUC-JISX0213", [b"\x8f" + pair for pair in pairs], euc))
    codes = [bytes([lead, trail]) for lead in CP932_LEADS for trail in SJIS_TRAILS if trail != 0x7F]
    alone = decode_sequences("SHIFT_JISX0213", [bytes([b]) for b in SJIS_TRAILS if b not in CP932_LEADS])
    sjis = own_sequences("SHIFT_JISX0213", codes, alone)
    for name, source, first, decoded, what in [
            ("sjisx0213", "SHIFT_JISX0213", 0x80, sjis,
             "every pair of a lead 0x81-0x9F or\n# 0xE0-0xFC and a trail 0x40-0x7E or 0x80-0xFC"),
            ("eucjisx0213", "EUC-JISX0213", 0xA0, euc,
             "every pair 0xA1A1-0xFEFE and triple\n# 0x8FA1A1-0x8FFEFE")]:
        write_data(folder / f"{name}-to-unicode.txt", version, source, "UTF-8", [
            f"glibc's {source}, read: {what} was asked.",
            "Each line: a code that glibc reads as one character, or as a base and a",
            "combining mark (0x304B+0x309A), and its code points; those not listed",
            "make none; what -c made of an undefined code's tail is left out."],
            {int.from_bytes(code, "big"): (code_text(code), sequence_text(cps)) for code, cps in decoded.items()},
            used=False)
        written = {(cp,): code for cp, code in encode(source, first).items()}
        sequences = sorted({tuple(cps) for cps in decoded.values() if len(cps) == 2})
        lines = iconv("UTF-8", source, ["".join(map(chr, cps)).encode() for cps in sequences])
        written.update({cps: code for cps, code in zip(sequences, lines) if code})
        write_data(folder / f"unicode-to-{name}.txt", version, "UTF-8", source, [
            f"glibc's {source}, written: every code point from U+{first:04X} up (no",
            "surrogates), and every base and mark that a code reads as, was asked.",
            "Each line: a code point (or two, 0x304B+0x309A) that glibc writes, and its",
            "code; those not listed it cannot write."],
            {cps: (sequence_text(cps), code_text(code)) for cps, code in written.items()},
            used=False)


def glibc_version():
    first = subprocess.run(["iconv", "--version"], capture_output=True, text=True, check=True)
    return first.stdout.splitlines()[0].strip()


def extract(folder):
    """Asks glibc's iconv program and writes the four data files."""
    version = glibc_version()
    pairs = [bytes([lead, trail]) for lead in CELLS for trail in CELLS]
    eucjp = decode("EUC-JP", pairs)
    eucjp.update(own("EUC-JP", [b"\x8f" + pair for pair in pairs], eucjp))
    codes = [bytes([lead, trail]) for lead in CP932_LEADS for trail in SJIS_TRAILS if trail != 0x7F]
    # A byte that is no lead stands alone; a lead alone would take the newline.
    alone = decode("CP932", [bytes([byte]) for byte in SJIS_TRAILS if byte not in CP932_LEADS])
    cp932 = own("CP932", codes, alone)
    folder.mkdir(parents=True, exist_ok=True)
    read = ["Each line: a code that glibc reads as one character, and its code point;",
            "those not listed make none. Where -c dropped an undefined code's first",
            "byte and read the rest alone, that character is not the code's: left out."]
    written = ["Each line: a code point that glibc writes, and its code; those not listed",
               "it cannot write."]
    write_data(folder / EUCJP_DECODED, version, "EUC-JP", "UTF-8", [
        "glibc's EUC-JP, read: every JIS X 0208 pair 0xA1A1-0xFEFE and JIS X 0212",
        "triple 0x8FA1A1-0x8FFEFE (each byte after 0x8F 0xA1-0xFE) was asked.",
        *read], {int.from_bytes(code, "big"): (code_text(code), point_text(cp)) for code, cp in eucjp.items()})
    write_data(folder / EUCJP_ENCODED, version, "UTF-8", "EUC-JP", [
        "glibc's EUC-JP, written: every code point from U+00A0 up (no surrogates)",
        "was asked.",
        *written], {cp: (point_text(cp), code_text(code)) for cp, code in encode("EUC-JP", 0xA0).items()})
    write_data(folder / CP932_DECODED, version, "CP932", "UTF-8", [
        "glibc's CP932 (code page 932), read: every pair of a lead 0x81-0x9F or",
        "0xE0-0xFC and a trail 0x40-0x7E or 0x80-0xFC was asked.",
        *read], {int.from_bytes(code, "big"): (code_text(code), point_text(cp)) for code, cp in cp932.items()})
    write_data(folder / CP932_ENCODED, version, "UTF-8", "CP932", [
        "glibc's CP932 (code page 932), written: every code point from U+0080 up (no",
        "surrogates) was asked.",
        *written], {cp: (point_text(cp), code_text(code)) for cp, code in encode("CP932", 0x80).items()})
    extract_x0213(folder, version)


def code_text(code):
    return "0x" + code.hex().upper()


def point_text(cp):
    return f"0x{cp:04X}" if cp <= 0xFFFF else f"0x{cp:06X}"


def write_data(path, version, source, target, about, lines, used=True):
    """One data file: what it holds, where it came from, then its lines in
    the order of their keys. used: tables are made of it."""
    text = [
        *(f"# {line}" for line in about),
        f"# Asked one at a time of: iconv -c -f {source} -t {target}",
        f"# glibc: {version}",
        "# Written by scripts/gen_unicode_tables.py --extract; do not edit." + (" The" if used else ""),
    ]
    if used:
        text.append("# tables in engine/codec/ are made from it by scripts/gen_unicode_tables.py.")
    text.extend(" ".join(lines[key]) for key in sorted(lines))
    path.write_text("\n".join(text) + "\n")
    print(f"{shown(path)}: {len(lines)} mappings", file=sys.stderr)


MAPPING = re.compile(r"0x((?:[0-9A-F]{2})+) 0x((?:[0-9A-F]{2})+)")


def read_mappings(path):
    """([(first, second) as bytes], glibc version) from one data file, its
    lines checked for form and order."""
    version = None
    found = []
    for number, line in enumerate(path.read_text().splitlines(), 1):
        if line.startswith("# glibc: "):
            version = line[len("# glibc: "):]
        elif not line.startswith("#"):
            match = MAPPING.fullmatch(line)
            if not match:
                sys.exit(f"{shown(path)}:{number}: not two codes, 0x and upper-case hex: {line!r}")
            first, second = (bytes.fromhex(field) for field in match.groups())
            if found and int.from_bytes(first, "big") <= int.from_bytes(found[-1][0], "big"):
                sys.exit(f"{shown(path)}:{number}: out of order or repeated: {line!r}")
            found.append((first, second))
    if version is None:
        sys.exit(f"{shown(path)}: no '# glibc: ' line")
    return found, version


def read_data(folder):
    """The glibc version and the four mappings: EUC-JP read {code: code
    point}, written {code point: code}, the same for CP932."""
    read = {}
    versions = set()
    # The lengths a code can have in each file.
    code_lengths = {EUCJP_DECODED: (2, 3), EUCJP_ENCODED: (1, 2, 3), CP932_DECODED: (2,),
                    CP932_ENCODED: (1, 2)}
    for name, lengths in code_lengths.items():
        found, version = read_mappings(folder / name)
        versions.add(version)
        decoded = name in (EUCJP_DECODED, CP932_DECODED)
        for first, second in found:
            code, point = (first, second) if decoded else (second, first)
            if len(code) not in lengths or len(point) > 3:
                sys.exit(f"{shown(folder / name)}: 0x{first.hex().upper()} 0x{second.hex().upper()} "
                         "is no code and code point")
        if decoded:
            read[name] = {code: int.from_bytes(cp, "big") for code, cp in found}
        else:
            read[name] = {int.from_bytes(cp, "big"): code for cp, code in found}
    if len(versions) != 1:
        sys.exit(f"{shown(folder)}: the files come from different glibc versions: {sorted(versions)}")
    return (versions.pop(), read[EUCJP_DECODED], read[EUCJP_ENCODED], read[CP932_DECODED],
            read[CP932_ENCODED])


def shown(path):
    """A path as the tree names it."""
    return path.relative_to(ROOT) if path.is_relative_to(ROOT) else path


def check(data):
    """0 when the checked-in headers are what the data makes; otherwise 1,
    after showing how they differ."""
    stale = []
    for path, text in tables(data).items():
        current = path.read_text() if path.exists() else ""
        if current == text:
            continue
        stale.append(str(shown(path)))
        diff = list(difflib.unified_diff(current.splitlines(), text.splitlines(),
                                         f"{shown(path)} (checked in)", f"{shown(path)} (from {shown(data)})",
                                         lineterm=""))
        print("\n".join(diff[:40] + ([f"... {len(diff) - 40} more diff lines"] if len(diff) > 40 else [])))
    if stale:
        print(f"Not what {shown(data)} makes: {', '.join(stale)}. "
              "Rerun scripts/gen_unicode_tables.py and commit the headers.")
        return 1
    print(f"The tables are what {shown(data)} makes.")
    return 0


def main():
    args = sys.argv[1:]
    if args[:1] in (["-h"], ["--help"]):
        print(__doc__)
    elif args[:1] == ["--extract"] and len(args) <= 2:
        extract(pathlib.Path(args[1]) if len(args) > 1 else DEFAULT_DATA)
    elif args == ["--check"]:
        sys.exit(check(DEFAULT_DATA))
    elif len(args) <= 2 and not any(arg.startswith("-") for arg in args):
        outputs = [pathlib.Path(arg) for arg in args]
        for default, text in tables(DEFAULT_DATA).items():
            path = outputs.pop(0) if outputs else default
            path.write_text(text)
            print(f"{shown(path)}: written", file=sys.stderr)
    else:
        sys.exit(__doc__)


if __name__ == "__main__":
    main()
