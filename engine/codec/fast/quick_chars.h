// The block path's shortcuts, shared by its scans and its conversion loops.
// Each one starts where decodeByte holds nothing and takes a whole run or
// character that decodeByte would read the same way every time: printable
// ASCII outside the kanji modes, pairs of JIS bytes inside them, and the
// well-formed pairs (and UTF-8 sequences) of the code in hand, with the
// report flags they would set. Anything else goes through decodeByte.
#pragma once

#include <array>
#include <cstdint>
#include <optional>

#include "byte_classes.h"
#include "code_arithmetic.h"
#include "fast/block_shortcuts.h"
#include "jis_sequences.h"

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace zekt::fast {

#if defined(__SSE2__)
// As signed bytes, printable ASCII is 0x20 <= b < 0x7F.
inline __m128i notPrintable(__m128i v) {
    return _mm_or_si128(_mm_cmplt_epi8(v, _mm_set1_epi8(0x20)), _mm_cmpeq_epi8(v, _mm_set1_epi8(DEL)));
}

// The first byte in 16 whose mask bit is set, over whole vectors; the tail
// is left to the caller's byte loop.
template <typename Test>
inline const std::uint8_t* firstInVectors(const std::uint8_t* p, const std::uint8_t* end, Test test) {
    while (end - p >= 16) {
        const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
        if (const int mask = _mm_movemask_epi8(test(v)))
            return p + __builtin_ctz(static_cast<unsigned>(mask));
        p += 16;
    }
    return p;
}
#endif

inline constexpr bool isPrintable(int b) { return in(b, 0x20, 0x7E); }

// The Shift-JIS leads of JIS X 0208's rows, which the EUC arithmetic
// takes; those above are code page 932's.
inline constexpr bool isQuickSjisLead(int b) { return in(b, 0x81, 0x9F) || in(b, 0xE0, 0xEF); }

// sjisPairToEuc's tables, 0 for a byte that is no quick lead or no trail,
// so that one test of each checks the pair.
inline constexpr std::array<std::uint8_t, 256> quickSjisRow = [] {
    std::array<std::uint8_t, 256> t{};
    for (int b = 0; b < 256; ++b) t[b] = isQuickSjisLead(b) ? sjisLeadRow[b] : 0;
    return t;
}();
inline constexpr std::array<std::uint16_t, 256> quickSjisCell = [] {
    std::array<std::uint16_t, 256> t{};
    for (int b = 0; b < 256; ++b) t[b] = isSjisTrail(b) ? sjisTrailCell[b] : 0;
    return t;
}();

static_assert([] {
    for (int b = 0; b < 256; ++b)
        if ((quickSjisRow[b] != 0) != isQuickSjisLead(b) || (quickSjisCell[b] != 0) != isSjisTrail(b))
            return false;
    return true;
}());

// The report flags a shortcut sets are gathered as bits and put into the
// report once per block. Two more bits, above the report's, mark a byte
// that no shortcut takes and a lead whose pair's flags depend on the trail.
using enum detect::Flag;
inline constexpr std::uint32_t NEEDS_DECODE = 1u << 30;  // an escape or shift: no shortcut for the block
inline constexpr std::uint32_t TRAIL_MATTERS = 1u << 31;
// The flags a shortcut or a settled block can set.
inline constexpr std::uint32_t quickFlags = EIGHT_BIT | KANA8 | EUC_ONLY | IZON | SJIS_LEAD | SS2_KANA |
                                            SS3_KANJI | JIS | ASCII_SEQ | ROMAJI_SEQ | KANA7_SEQ |
                                            JIS1978_SEQ | JIS1983_SEQ | NEC_SEQ | SI_SO | BINARY;

// What decodeByte records for a fresh lead byte of a Shift-JIS pair and the
// pair it forms: the lead's own flag, and IZON for the pairs 0x8540-0x889E
// and from 0xEB40 up. Here that is every pair of the leads 0x85-0x87 and
// 0xEB-0xFF; those of 0x88 up to 0x889E, and the Shift-JIS evidence of a
// single shift, depend on the trail.
inline constexpr std::array<std::uint32_t, 256> sjisLeadFlags = [] {
    std::array<std::uint32_t, 256> t{};
    for (int b = 0x80; b <= 0xFF; ++b) {
        std::uint32_t flags = freshHighByteFlags(b) & ~static_cast<std::uint32_t>(KANA8);
        if (in(b, 0x85, 0x87) || b >= 0xEB) flags |= IZON;
        if (b == 0x88 || b == SS2 || b == SS3) flags |= TRAIL_MATTERS;
        t[b] = flags;
    }
    return t;
}();

inline constexpr std::uint32_t sjisPairFlags(int lead, int trail) {
    std::uint32_t flags = sjisLeadFlags[lead];
    if ((flags & TRAIL_MATTERS) == 0) return flags;
    flags &= ~TRAIL_MATTERS;
    if (lead == 0x88 && trail <= 0x9E) flags |= IZON;
    if ((lead == SS2 || lead == SS3) && isSjisAfterSingleShift(lead, trail)) flags |= SJIS_LEAD;
    return flags;
}

// sjisPairFlags without a branch, for the loops where leads whose flags
// depend on the trail come often enough to be mispredicted: the lead's
// flags, and those its trail adds, from a row of trails for each of the
// three such leads (row 0 adds nothing).
inline constexpr std::array<std::uint8_t, 256> sjisTrailRowOf = [] {
    std::array<std::uint8_t, 256> t{};
    t[0x88] = 1, t[SS2] = 2, t[SS3] = 3;
    return t;
}();
inline constexpr std::array<std::array<std::uint32_t, 256>, 4> sjisTrailFlags = [] {
    std::array<std::array<std::uint32_t, 256>, 4> t{};
    for (const int lead : {0x88, SS2, SS3})
        for (int trail = 0; trail < 256; ++trail)
            t[sjisTrailRowOf[lead]][trail] =
                sjisPairFlags(lead, trail) & ~(sjisLeadFlags[lead] & ~TRAIL_MATTERS);
    return t;
}();

inline constexpr std::uint32_t sjisPairFlagsNoBranch(int lead, int trail) {
    return (sjisLeadFlags[lead] & ~TRAIL_MATTERS) | sjisTrailFlags[sjisTrailRowOf[lead]][trail];
}

// A pair's flags are what decodeByte records reading its lead fresh and
// then its trail.
static_assert([] {
    for (int lead = 0x81; lead <= 0xFF; ++lead)
        for (int trail = 0x40; trail <= 0xFC; ++trail)
            if (isSjisLead(lead) && isSjisTrail(trail) &&
                (sjisPairFlags(lead, trail) != (freshHighByteFlags(lead) | pairFlags(lead, trail)) ||
                 sjisPairFlagsNoBranch(lead, trail) != sjisPairFlags(lead, trail)))
                return false;
    return true;
}());

// An EUC pair: the lead is fresh, the pair passes the Shift-JIS test when
// the lead is 0xE0 or above and the trail 0xFC or below.
inline constexpr std::uint32_t eucPairFlags(int lead, int trail) {
    std::uint32_t flags = EIGHT_BIT;
    if (lead <= 0xDF) flags |= KANA8;
    if (lead >= 0xFD) flags |= EUC_ONLY;
    if (lead >= 0xEB && trail <= 0xFC) flags |= IZON;
    return flags;
}

static_assert([] {
    for (int lead = 0xA1; lead <= 0xFE; ++lead)
        for (int trail = 0xA1; trail <= 0xFE; ++trail)
            if (eucPairFlags(lead, trail) != (freshHighByteFlags(lead) | pairFlags(lead, trail)))
                return false;
    return true;
}());

// What decodeByte makes of a whole character, escape sequence or shift
// taken at once: its length (0: none taken here), its RawCode (0: none),
// the flags it sets, the input mode it sets (none: unchanged) and whether
// it is an LF line end.
struct Quick {
    int length = 0;
    RawCode raw = 0;
    std::uint32_t flags = 0;
    JisMode mode{};
    bool lineFeed = false;
};

// UTF-8 sequences of two and three bytes (the longer and the broken ones
// are left to decodeByte).
[[gnu::always_inline]] inline Quick quickUtf8(const std::uint8_t* p, const std::uint8_t* end) {
    const int b0 = p[0];
    const auto continues = [](int c) { return (c ^ 0x80) < 0x40; };
    // Three bytes after E1-EC or EE-EF, whose continuations need only be
    // 80-BF: kana and kanji.
    if (isPlainLead3(b0)) {
        if (end - p < 3 || !continues(p[1]) || !continues(p[2])) return {};
        return {3, utf8Char | (b0 & 0x0F) << 12 | (p[1] & 0x3F) << 6 | (p[2] & 0x3F), EIGHT_BIT};
    }
    if (isPlainLead2(b0)) {
        if (end - p < 2 || !continues(p[1])) return {};
        return {2, utf8Char | (b0 & 0x1F) << 6 | (p[1] & 0x3F), EIGHT_BIT};
    }
    if (b0 == LF) return {.length = 1, .raw = LF, .lineFeed = true};
    if (b0 != 0xE0 && b0 != 0xED) return {};
    const Utf8Lead lead = utf8Lead(b0);
    if (end - p < 3 || !in(p[1], lead.low, lead.high) || !continues(p[2])) return {};
    return {3, utf8Char | (b0 & 0x0F) << 12 | (p[1] & 0x3F) << 6 | (p[2] & 0x3F), EIGHT_BIT};
}

// knownEscape as one table read, by the second byte ('$' or '(') and the
// final; no mode where none is known. (An optional passed through memory
// would stall each read of it.)
inline constexpr std::array<std::array<JisEffect, 128>, 2> escapeEffects = [] {
    std::array<std::array<JisEffect, 128>, 2> t{};
    for (const KnownEscape& known : knownEscapes) t[known.second == '(' ? 1 : 0][known.final] = known.effect;
    return t;
}();

constexpr JisEffect escapeEffect(int second, int final) {
    if ((second != '$' && second != '(') || final >= 0x80) return {};
    return escapeEffects[second == '(' ? 1 : 0][static_cast<std::size_t>(final)];
}

// Every known escape's second byte is '$' or '(', so those two are the
// ones to compare.
static_assert([] {
    for (const KnownEscape& known : knownEscapes)
        if (known.second != '$' && known.second != '(') return false;
    for (const int second : {'$', '('})
        for (int final = 0; final < 256; ++final) {
            const std::optional<JisEffect> known = knownEscape(second, final);
            const JisEffect e = escapeEffect(second, final);
            if (known ? (e.mode != known->mode || e.flag != known->flag) : e.mode != JisMode{}) return false;
        }
    return true;
}());

// The known escape sequences but ESC $ ( D, and the shifts, as decodeByte
// reads them from a fresh ESC, SO or SI.
[[gnu::always_inline]] inline Quick quickEscape(const std::uint8_t* p, const std::uint8_t* end) {
    const auto take = [](int length, JisEffect e) {
        return Quick{.length = length, .flags = JIS | e.flag, .mode = e.mode};
    };
    if (isShift(p[0])) return take(1, shiftByte(p[0]));
    if (end - p < 2) return {};
    if (isNecEscape(p[1])) return take(2, necEscape(p[1]));
    if (end - p < 3) return {};
    if (const JisEffect known = escapeEffect(p[1], p[2]); known.mode != JisMode{}) return take(3, known);
    return {};
}

// The character at p of input code K, nothing being held.
template <CodeKind K>
[[gnu::always_inline]] inline Quick quickChar(const std::uint8_t* p, const std::uint8_t* end,
                                              JisMode inMode) {
    if constexpr (K == CodeKind::UTF8) {
        return quickUtf8(p, end);
    } else {
        const int b0 = p[0];
        if (b0 < 0x80) {
            if (b0 == LF) return {.length = 1, .raw = LF, .lineFeed = true};
            if (b0 == ESC || isShift(b0)) return quickEscape(p, end);
            if (end - p >= 2 && isKanjiMode(inMode) && isJisByte(b0) && isJisByte(p[1]))
                return {2, b0 << 8 | p[1], 0};
            return {};
        }
        if (K != CodeKind::EUC && isHalfWidthKanaByte(b0)) return {1, b0, EIGHT_BIT | KANA8};
        if (end - p < 2) return {};
        const int b1 = p[1];
        if constexpr (K == CodeKind::EUC) {
            if (isEucByte(b0) && isEucByte(b1)) return {2, b0 << 8 | b1, eucPairFlags(b0, b1)};
            if (b0 == SS2 && isHalfWidthKanaByte(b1)) return {2, b0 << 8 | b1, EIGHT_BIT | SS2_KANA};
        } else {
            if (isSjisLead(b0) && isSjisTrail(b1)) return {2, b0 << 8 | b1, sjisPairFlags(b0, b1)};
        }
        return {};
    }
}

// Takes what a quick character does to the reading (not to the output).
[[gnu::always_inline]] inline void takeQuick(const Quick& q, std::uint32_t& flags, InputShift& shift,
                                             ReturnKind& returnKind) {
    flags |= q.flags;
    if (q.mode != JisMode{}) shift.mode = q.mode;
    if (q.lineFeed) returnKind = ReturnKind::LF;
}

}  // namespace zekt::fast
