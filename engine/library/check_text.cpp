#include "check_text.h"

#include <array>
#include <span>
#include <utility>

namespace zekt {
namespace {

constexpr std::array<const char*, codeKindCount> codeNames{"ASCII", "JIS",     "SJIS",   "EUC",
                                                           "UTF8",  "UTF16LE", "UTF16BE"};
constexpr std::array<const char*, 4> returnNames{"[No RET]", "[LF]", "[CR]", "[CRLF]"};

using Detail = std::pair<detect::Flag, const char*>;

// The details a code's check names, in their order.
std::span<const Detail> detailsOf(CodeKind code) {
    static constexpr Detail jis[] = {
        {detect::JIS1978_SEQ, "JIS1978"},   {detect::JIS1983_SEQ, "JIS1983"},
        {detect::EX1990_SEQ, "JIS-EX1990"}, {detect::JISX0213_SEQ, "JISX0213"},
        {detect::NEC_SEQ, "NEC"},           {detect::ASCII_SEQ, "ASCII"},
        {detect::ROMAJI_SEQ, "ROMAJI"},     {detect::KANA7_SEQ, "KANA7"},
        {detect::KANA8, "KANA8"},           {detect::SI_SO, "KANA-SI/SO"},
        {detect::UNKNOWN_SEQ, "JIS????"},
    };
    static constexpr Detail sjis[] = {{detect::KANA8, "KANA8"}, {detect::IZON, "IZON"}};
    static constexpr Detail euc[] = {{detect::SS2_KANA, "SS2-KANA"}, {detect::SS3_KANJI, "SS3-KANJI"}};
    static constexpr Detail unicode[] = {{detect::BOM, "BOM"}};
    switch (code) {
        case CodeKind::JIS: return jis;
        case CodeKind::SJIS: return sjis;
        case CodeKind::EUC: return euc;
        case CodeKind::UTF8:
        case CodeKind::UTF16LE:
        case CodeKind::UTF16BE: return unicode;
        default: return {};
    }
}

}  // namespace

std::string checkText(CodeKind code, ReturnKind returnKind, const DetectReport& report) {
    std::string text = std::string(codeNames[index(code)]) + " " + returnNames[index(returnKind)] + " ";
    for (const auto& [flag, word] : detailsOf(code))
        if (report.has(flag)) text.append(word).push_back(' ');
    return text;
}

}  // namespace zekt
