// Constant option tables and the texts the command line prints.
#pragma once

#include "converter.h"

namespace zekt {

// Action numbers of specialOptions.
enum class SpecialAction : int {
    IGNORE = 1,
    NEXT_IS_FILE = 2,
    CHECK = 3,
    NO_BINARY_CHECK = 4,
    EXCHANGE_ASCII = 5,
    EXCHANGE_KANA = 6,
    EXCHANGE_WINDOWS = 7,
    JIS_SHORT = 8,
    HELP = 9,
    VERSION = 10,
};

inline constexpr OptionEntry specialOptions[] = {
    {"-", 2},  {"f", 2},       {"c", 3},  {"nb", 4},   {"Z", 5},         {"xASCII8", 5},
    {"X", 6},  {"xKANA16", 6}, {"xNOWIN", 7}, {"jSHORT", 8}, {"h", 9}, {"help", 9},
    {"v", 10}, {"version", 10}, {"x", 1}, {nullptr, 0},
};

inline constexpr OptionEntry outputCodeOptions[] = {
    {"e", 3}, {"j", 1}, {"s", 2}, {"sj", 2}, {"unix", 3}, {"mac", 2}, {"dos", 2}, {"nk", 0}, {nullptr, 0},
};

inline constexpr OptionEntry returnOptions[] = {
    {"lf", 1}, {"cr", 2}, {"cl", 3}, {"crlf", 3}, {"unix", 1}, {"mac", 2}, {"dos", 3}, {"nr", 0}, {nullptr, 0},
};

inline constexpr OptionEntry jisModeOptions[] = {
    {"jKANA7", 3}, {"jKANA8", 4}, {"jSISO", 5}, {"j1978", 6}, {"j1983", 7},
    {"jNEC", 8},   {"jASCII", 1}, {"jROMAJI", 2}, {nullptr, 0},
};

inline constexpr OptionEntry inputCodeOptions[] = {
    {"E", 3}, {"J", 1}, {"S", 2}, {"SJ", 2}, {"UNIX", 3}, {"MAC", 2}, {"DOS", 2}, {"nk", 0}, {nullptr, 0},
};

inline constexpr const char* bannerText =
    "zekt - Japanese Code Converter:                          Version  2.2\n"
    "Copyright (C) the zekt authors";

inline constexpr const char* optionErrorText = "zekt: option error! Try, \n\"zekt -h\n\"";

inline constexpr const char* usageText =
    "  usage: zekt [-option ... | filename ...] \n"
    "\n"
    "*output KANJI code\n"
    " -e\t\t: output EUC code\n"
    " -j\t\t: output JIS code\n"
    " -s or -sj\t: output SJIS (MS-KANJI) code\n"
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
    "\n"
    "*exchange option\n"
    " -x\t\t: dummy (for vqt compatibility)\n"
    " -xASCII8, -Z\t: exchange ASCII from 16 bits to 7 bits\n"
    " -xKANA16, -X\t: exchange KATAKANA from 7/8bits to 16bits\n"
    " -xNOWIN\t: exchange WINDOWS fron original to other\n"
    "\n"
    "*special option\n"
    " -c\t\t: check file type only\n"
    " -f or --\t: filename (use -* filename)\n"
    " -nb\t\t: no binary check\n"
    " -nk\t\t: no KANJI code convert\n"
    " -nr\t\t: no RETURN code convert\n"
    " -v or -version\t: version information\n"
    " -h or -help\t: help (this message)\n";

}  // namespace zekt
