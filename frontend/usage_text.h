// The texts the command line prints: the banner, the usage, and what it
// says about options it cannot use.
#pragma once

#include <string_view>

#include "version.h"

namespace zekt {

inline constexpr const char* bannerText =
    "zekt - Japanese Code Converter:                          Version  " ZEKT_PROGRAM_VERSION
    "\n"
    "Copyright (C) the zekt authors";

inline constexpr const char* optionErrorText = "zekt: option error! Try, \n\"zekt -h\n\"";

// Lines before the option error text: the option as given, then, for a
// spelling that users bring from nkf or iconv, what zekt calls it. Each
// text is followed by a blank, the option or the options, and a line feed.
inline constexpr const char* unknownOptionText = "zekt: unknown option:";
inline constexpr const char* optionHintText = "zekt: for that, use";

struct OptionHint {
    std::string_view spelling;  // as typed, up to an "=" and its value
    const char* use;
};

// iconv's -f and -t cannot be told from zekt's own -f (a file name next).
inline constexpr const char* codeOptionsHint =
    "the input and output code options (-E -S -J -U8 -U16, -e -s -j -u8 -u16)";

inline constexpr OptionHint optionHints[] = {
    {"-w", "-u8"},
    {"--utf8", "-u8"},
    {"-W", "-U8"},
    {"-g", "-c"},
    {"--guess", "-c"},
    {"-Lu", "-lf"},
    {"-Lw", "-crlf"},
    {"-Lm", "-cr"},
    {"--overwrite", "-overwrite"},
    {"--in-place", "-overwrite"},
    {"--from-code", codeOptionsHint},
    {"--to-code", codeOptionsHint},
};

// Followed by the options as given, separated by blanks, and a line feed.
inline constexpr const char* unusedOptionsText = "zekt: options after the last file name apply to no file:";

inline constexpr const char* usageText =
    "  usage: zekt [-option ... | filename ...] \n"
    "\n"
    "*output KANJI code\n"
    " -e\t\t: output EUC code\n"
    " -j\t\t: output JIS code\n"
    " -s or -sj\t: output SJIS (MS-KANJI) code\n"
    " -u8 or -utf8\t: output UTF-8 code\n"
    " -u8bom\t\t: output UTF-8 code with a byte order mark\n"
    " -u16\t\t: output UTF-16 code (little endian, with a byte order mark)\n"
    " -u16le, -u16be\t: output UTF-16 code without a byte order mark\n"
    " -s2004, -e2004, -j2004: output Shift_JIS-2004, EUC-JIS-2004, ISO-2022-JP-2004\n"
    "\n"
    "*output RETURN code\n"
    " -lf\t\t: output LF code\n"
    " -cr\t\t: output CR code\n"
    " -cl or -crlf\t: output CR+LF code\n"
    "\n"
    "*output KANJI & RETURN code\n"
    " -unix\t\t: output UNIX standard (EUC  & LF)\n"
    " -mac\t\t: output MAC  standard (SJIS & CR)\n"
    " -dos\t\t: output DOS  standard (SJIS & CR+LF)\n"
    "\n"
    "*output JIS KATAKANA mode\n"
    " -jKANA7\t: 7bits KATAKANA with ESC-(-I (default)\n"
    " -jKANA8\t: 8bits KATAKANA\n"
    " -jSISO\t\t: 7bits KATAKANA with SI/SO sequence\n"
    "\n"
    "*output JIS KANJI version\n"
    " -j1978\t\t: output JIS code with ESC-$-@ sequence\n"
    " -j1983\t\t: output JIS code with ESC-$-B sequence (default)\n"
    " -jNEC\t\t: output JIS code with ESC-K & ESC-H sequence\n"
    "\n"
    "*output JIS ASCII mode\n"
    " -jASCII\t: output JIS code with ESC-(-B sequence (default)\n"
    " -jROMAJI\t: output JIS code with ESC-(-J sequence\n"
    "\n"
    "*input KANJI code\n"
    " -E or -UNIX\t: input EUC code\n"
    " -J\t\t: input JIS code\n"
    " -S ,-SJ, -MAC, -DOS\n"
    "                : input SJIS (MS-KANJI) code\n"
    " -U8 or -UTF8\t: input UTF-8 code\n"
    " -U16, -U16LE, -U16BE\t: input UTF-16 code\n"
    " -S2004, -E2004, -J2004: input the same JIS X 0213 codes\n"
    "\n"
    "*exchange option\n"
    " -x\t\t: dummy (for vqt compatibility)\n"
    " -xASCII8, -Z\t: exchange ASCII from 16 bits to 7 bits\n"
    " -xKANA16, -X\t: exchange KATAKANA from 7/8bits to 16bits\n"
    " -xNOWIN\t: exchange WINDOWS fron original to other\n"
    " -xMS\t\t: use the WINDOWS mapping to and from UNICODE\n"
    "\n"
    "*special option\n"
    " -c\t\t: check file type only\n"
    " -overwrite\t: convert each file in place\n"
    " -f\t\t: the next argument is a filename (-f -name)\n"
    " --\t\t: every later argument is a filename (or use ./*)\n"
    " -nb\t\t: no binary check\n"
    " -nk\t\t: no KANJI code convert\n"
    " -nr\t\t: no RETURN code convert\n"
    " -v or -version\t: version information\n"
    " -h or -help\t: help (this message)\n";

}  // namespace zekt
