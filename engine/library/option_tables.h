// Constant option tables: the option words and what they set.
#pragma once

#include "engine_types.h"

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
// A code value with this bit set is the code's JIS X 0213 form.
inline constexpr std::int32_t jisX0213 = 0x200;

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
    {"e2004", value(CodeKind::EUC) | jisX0213},
    {"j2004", value(CodeKind::JIS) | jisX0213},
    {"s2004", value(CodeKind::SJIS) | jisX0213},
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
    {"E2004", value(CodeKind::EUC) | jisX0213},
    {"J2004", value(CodeKind::JIS) | jisX0213},
    {"S2004", value(CodeKind::SJIS) | jisX0213},
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

}  // namespace zekt
