// Constant option tables and the texts the command line prints.
#pragma once

#include <string_view>

#include "engine_types.h"
#include "version.h"

namespace zekt {

struct OptionEntry {
    const char* name;  // nullptr ends a table
    std::int32_t value;
};

template <typename Enum>
constexpr std::int32_t value(Enum e) {
    return static_cast<std::int32_t>(e);
}

// Action numbers of specialOptions.
namespace action {
enum : std::int32_t {
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
    OVERWRITE = 11,
    WINDOWS_UNICODE = 12,
    VERSION_LINE = 13,
    REST_ARE_FILES = 14,
};
}  // namespace action

// An output code value with this bit set also asks for a byte order mark;
// an input code value, that the mark decides between the orders of UTF-16.
inline constexpr std::int32_t withBom = 0x100;

inline constexpr OptionEntry specialOptions[] = {
    {"-", action::REST_ARE_FILES},
    {"f", action::NEXT_IS_FILE},
    {"c", action::CHECK},
    {"nb", action::NO_BINARY_CHECK},
    {"Z", action::EXCHANGE_ASCII},
    {"xASCII8", action::EXCHANGE_ASCII},
    {"X", action::EXCHANGE_KANA},
    {"xKANA16", action::EXCHANGE_KANA},
    {"xNOWIN", action::EXCHANGE_WINDOWS},
    {"jSHORT", action::JIS_SHORT},
    {"h", action::HELP},
    {"help", action::HELP},
    {"v", action::VERSION},
    {"version", action::VERSION},
    {"x", action::IGNORE},
    {"overwrite", action::OVERWRITE},
    {"xMS", action::WINDOWS_UNICODE},
    {"-help", action::HELP},
    {"-version", action::VERSION_LINE},
    {nullptr, 0},
};

inline constexpr OptionEntry outputCodeOptions[] = {
    {"e", value(CodeKind::EUC)},
    {"j", value(CodeKind::JIS)},
    {"s", value(CodeKind::SJIS)},
    {"sj", value(CodeKind::SJIS)},
    {"unix", value(CodeKind::EUC)},
    {"mac", value(CodeKind::SJIS)},
    {"dos", value(CodeKind::SJIS)},
    {"nk", value(CodeKind::AS_READ)},
    {"u8", value(CodeKind::UTF8)},
    {"utf8", value(CodeKind::UTF8)},
    {"u8bom", value(CodeKind::UTF8) | withBom},
    {"u16", value(CodeKind::UTF16LE) | withBom},
    {"u16le", value(CodeKind::UTF16LE)},
    {"u16be", value(CodeKind::UTF16BE)},
    {nullptr, 0},
};

inline constexpr OptionEntry returnOptions[] = {
    {"lf", value(ReturnKind::LF)},     {"cr", value(ReturnKind::CR)},   {"cl", value(ReturnKind::CRLF)},
    {"crlf", value(ReturnKind::CRLF)}, {"unix", value(ReturnKind::LF)}, {"mac", value(ReturnKind::CR)},
    {"dos", value(ReturnKind::CRLF)},  {"nr", value(ReturnKind::NONE)}, {nullptr, 0},
};

inline constexpr OptionEntry jisModeOptions[] = {
    {"jKANA7", value(JisMode::KANA7)},
    {"jKANA8", value(JisMode::KANA8)},
    {"jSISO", value(JisMode::SISO)},
    {"j1978", value(JisMode::KANJI1978)},
    {"j1983", value(JisMode::KANJI1983)},
    {"jNEC", value(JisMode::NEC)},
    {"jASCII", value(JisMode::ASCII)},
    {"jROMAJI", value(JisMode::ROMAJI)},
    {nullptr, 0},
};

inline constexpr OptionEntry inputCodeOptions[] = {
    {"E", value(CodeKind::EUC)},
    {"J", value(CodeKind::JIS)},
    {"S", value(CodeKind::SJIS)},
    {"SJ", value(CodeKind::SJIS)},
    {"UNIX", value(CodeKind::EUC)},
    {"MAC", value(CodeKind::SJIS)},
    {"DOS", value(CodeKind::SJIS)},
    {"nk", value(CodeKind::DETECT)},
    {"U8", value(CodeKind::UTF8)},
    {"UTF8", value(CodeKind::UTF8)},
    {"U16", value(CodeKind::UTF16LE) | withBom},
    {"U16LE", value(CodeKind::UTF16LE)},
    {"U16BE", value(CodeKind::UTF16BE)},
    {nullptr, 0},
};

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
