// The block path's shortcuts. Each one starts where decodeByte holds
// nothing and takes a whole run or character that decodeByte would read
// the same way every time: printable ASCII outside the kanji modes, pairs
// of JIS bytes inside them, and the well-formed pairs (and UTF-8
// sequences) of the code in hand, with the report flags they would set.
// Anything else goes through decodeByte, which stays the one definition.
#include "block_shortcuts.h"

#include <algorithm>
#include <cstring>
#include <utility>

#include "byte_classes.h"
#include "jis_sequences.h"
#include "output_encoders.h"

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace zekt {
namespace {

// ---------------------------------------------------------------- runs

#if defined(__SSE2__)
// As signed bytes, printable ASCII is 0x20 <= b < 0x7F.
inline __m128i notPrintable(__m128i v) {
    return _mm_or_si128(_mm_cmplt_epi8(v, _mm_set1_epi8(0x20)), _mm_cmpeq_epi8(v, _mm_set1_epi8(DEL)));
}

// The first byte in 16 whose mask bit is set, over whole vectors; the tail
// is left to the caller's byte loop.
template <typename Test>
const std::uint8_t* firstInVectors(const std::uint8_t* p, const std::uint8_t* end, Test test) {
    while (end - p >= 16) {
        const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
        if (const int mask = _mm_movemask_epi8(test(v)))
            return p + __builtin_ctz(static_cast<unsigned>(mask));
        p += 16;
    }
    return p;
}
#endif

// Each byte's class: bit 0 not printable ASCII, bit 1 not ASCII, bit 2
// marks binary input.
constexpr std::array<std::uint8_t, 256> byteClass = [] {
    std::array<std::uint8_t, 256> t{};
    for (int b = 0; b < 256; ++b)
        t[b] = static_cast<std::uint8_t>((in(b, 0x20, 0x7E) ? 0 : 1) | (b < 0x80 ? 0 : 2) |
                                         (marksBinary(b) ? 4 : 0));
    return t;
}();

const std::uint8_t* firstOfClass(const std::uint8_t* p, const std::uint8_t* end, std::uint8_t bit) {
    while (p < end && (byteClass[*p] & bit) == 0) ++p;
    return p;
}

// Bytes 0x00-0x0F as signed: -1 < b < 0x08 is 0x00-0x07, and so on.
bool anyBinary(const std::uint8_t* p, const std::uint8_t* end) {
#if defined(__SSE2__)
    p = firstInVectors(p, end, [](__m128i v) {
        const __m128i low =
            _mm_and_si128(_mm_cmpgt_epi8(v, _mm_set1_epi8(-1)), _mm_cmplt_epi8(v, _mm_set1_epi8(0x08)));
        const __m128i mid =
            _mm_and_si128(_mm_cmpgt_epi8(v, _mm_set1_epi8(0x0F)), _mm_cmplt_epi8(v, _mm_set1_epi8(0x1A)));
        return _mm_or_si128(_mm_or_si128(low, mid), _mm_cmpeq_epi8(v, _mm_set1_epi8(DEL)));
    });
#endif
    return firstOfClass(p, end, 4) != end;
}

// ---------------------------------------------------------------- characters

constexpr bool isPrintable(int b) { return in(b, 0x20, 0x7E); }

// The report flags a shortcut sets are gathered as bits and put into the
// report once per block. Two more bits, above the report's, mark a byte
// that no shortcut takes and a lead whose pair's flags depend on the trail.
using enum detect::Flag;
constexpr std::uint32_t NEEDS_DECODE = 1u << 30;  // an escape or shift: no shortcut for the block
constexpr std::uint32_t TRAIL_MATTERS = 1u << 31;
// The flags a shortcut or a settled block can set.
constexpr std::uint32_t quickFlags = EIGHT_BIT | KANA8 | EUC_ONLY | IZON | SJIS_LEAD | SS2_KANA | SS3_KANJI |
                                     JIS | ASCII_SEQ | ROMAJI_SEQ | KANA7_SEQ | JIS1978_SEQ | JIS1983_SEQ |
                                     NEC_SEQ | SI_SO | BINARY;

// What decodeByte records for a fresh lead byte of a Shift-JIS pair and the
// pair it forms: the lead's own flag, and IZON for the pairs 0x8540-0x889E
// and from 0xEB40 up. Here that is every pair of the leads 0x85-0x87 and
// 0xEB-0xFF; those of 0x88 up to 0x889E, and the Shift-JIS evidence of a
// single shift, depend on the trail.
constexpr std::array<std::uint32_t, 256> sjisLeadFlags = [] {
    std::array<std::uint32_t, 256> t{};
    for (int b = 0x80; b <= 0xFF; ++b) {
        std::uint32_t flags = freshHighByteFlags(b) & ~static_cast<std::uint32_t>(KANA8);
        if (in(b, 0x85, 0x87) || b >= 0xEB) flags |= IZON;
        if (b == 0x88 || b == SS2 || b == SS3) flags |= TRAIL_MATTERS;
        t[b] = flags;
    }
    return t;
}();

constexpr std::uint32_t sjisPairFlags(int lead, int trail) {
    std::uint32_t flags = sjisLeadFlags[lead];
    if ((flags & TRAIL_MATTERS) == 0) return flags;
    flags &= ~TRAIL_MATTERS;
    if (lead == 0x88 && trail <= 0x9E) flags |= IZON;
    if ((lead == SS2 || lead == SS3) && isSjisAfterSingleShift(lead, trail)) flags |= SJIS_LEAD;
    return flags;
}

// A pair's flags are what decodeByte records reading its lead fresh and
// then its trail.
static_assert([] {
    for (int lead = 0x81; lead <= 0xFF; ++lead)
        for (int trail = 0x40; trail <= 0xFC; ++trail)
            if (isSjisLead(lead) && isSjisTrail(trail) &&
                sjisPairFlags(lead, trail) != (freshHighByteFlags(lead) | pairFlags(lead, trail)))
                return false;
    return true;
}());

// An EUC pair: the lead is fresh, the pair passes the Shift-JIS test when
// the lead is 0xE0 or above and the trail 0xFC or below.
constexpr std::uint32_t eucPairFlags(int lead, int trail) {
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
    if (const std::optional<JisEffect> known = knownEscape(p[1], p[2])) return take(3, *known);
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
[[gnu::always_inline]] inline void takeQuick(const Quick& q, std::uint32_t& flags, ShiftState& shift,
                                             ReturnKind& returnKind) {
    flags |= q.flags;
    if (q.mode != JisMode{}) shift.inMode = q.mode;
    if (q.lineFeed) returnKind = ReturnKind::LF;
}

// Bytes that decodeByte would pass over without effect in a quiet scan:
// printable ASCII outside the kanji modes; inside them too, as pairs of JIS
// bytes and spaces, where a space drops a first byte held before it, so
// that a run leaves its last byte held when an odd number follow its last
// space.
template <CodeKind K>
[[gnu::always_inline]] inline const std::uint8_t* skipQuiet(const std::uint8_t* p, const std::uint8_t* end,
                                                            JisMode inMode, DecodeState& state) {
    if (p == end || !isPrintable(*p)) return p;
    const std::uint8_t* const run = skipPrintable(p, end);
    if (K == CodeKind::UTF8 || !isKanjiMode(inMode)) return run;
    const void* space = memrchr(p, ' ', static_cast<std::size_t>(run - p));
    const std::uint8_t* const afterSpace = space != nullptr ? static_cast<const std::uint8_t*>(space) + 1 : p;
    if ((run - afterSpace) % 2 != 0) state = DecodeState::holding(run[-1]);
    return run;
}

// Every flag each byte could bring about anywhere in a block (as a fresh
// byte, a lead, or the trail of a single shift), in any legacy code.
constexpr std::array<std::uint32_t, 256> mayFlags = [] {
    std::array<std::uint32_t, 256> t{};
    for (int b = 0; b < 256; ++b) {
        if (b == ESC || b == SO || b == SI)
            t[b] = NEEDS_DECODE;
        else if (marksBinary(b))
            t[b] = BINARY;
        else if (b >= 0x80)
            t[b] = b == 0x80 || b == 0xA0   ? EIGHT_BIT
                   : isHalfWidthKanaByte(b) ? EIGHT_BIT | KANA8
                   : b == SS2 || b == SS3   ? (sjisLeadFlags[b] & ~TRAIL_MATTERS) | SJIS_LEAD
                                            : sjisLeadFlags[b] & ~TRAIL_MATTERS;
    }
    return t;
}();

// Nothing decodeByte records for a byte, fresh or as the lead of a pair,
// is missing from its entry (but the IZON of 0x88's pairs).
static_assert([] {
    for (int b = 0x80; b < 0x100; ++b) {
        std::uint32_t recorded = freshHighByteFlags(b);
        for (int trail = 0; trail < 0x100; ++trail) recorded |= pairFlags(b, trail);
        if (b == 0x88) recorded &= ~static_cast<std::uint32_t>(IZON);  // looked for apart: mayPairIzon88
        if ((recorded & ~mayFlags[static_cast<std::size_t>(b)]) != 0) return false;
    }
    return true;
}());

// Sixteen bytes at a time; printable ASCII, which can set nothing, is
// passed over by the vector.
std::uint32_t mayFlagsOf(const std::uint8_t* p, const std::uint8_t* end) {
    std::uint32_t a = 0, b = 0, c = 0, d = 0;
    for (; end - p >= 16; p += 16) {
#if defined(__SSE2__)
        if (_mm_movemask_epi8(notPrintable(_mm_loadu_si128(reinterpret_cast<const __m128i*>(p)))) == 0)
            continue;
#endif
        for (int i = 0; i < 16; i += 4) {
            a |= mayFlags[p[i]];
            b |= mayFlags[p[i + 1]];
            c |= mayFlags[p[i + 2]];
            d |= mayFlags[p[i + 3]];
        }
    }
    for (; p < end; ++p) a |= mayFlags[*p];
    return a | b | c | d;
}

// Once all else is known, what can still set a flag is a rare byte: an
// escape or shift, a binary byte, 0xFD or 0xFE (EUC's evidence), or a
// fresh 0x81-0x9F (Shift-JIS's), each looked for while its flags are not
// known, sixteen bytes at a time.
constexpr std::uint32_t escapeFlags =
    NEEDS_DECODE | JIS | ASCII_SEQ | ROMAJI_SEQ | KANA7_SEQ | JIS1978_SEQ | JIS1983_SEQ | NEC_SEQ | SI_SO;
constexpr std::uint32_t sjisLeadRangeFlags = SJIS_LEAD | SS2_KANA | SS3_KANJI;
constexpr std::uint32_t rareByteFlags = escapeFlags | BINARY | EUC_ONLY | sjisLeadRangeFlags;

constexpr bool isRareByte(int b, std::uint32_t missing) {
    return b == ESC || b == SO || b == SI || ((missing & BINARY) && marksBinary(b)) ||
           ((missing & EUC_ONLY) && (b == 0xFD || b == 0xFE)) ||
           ((missing & sjisLeadRangeFlags) && in(b, 0x81, 0x9F));
}

static_assert([] {
    for (int b = 0; b < 256; ++b)
        for (const std::uint32_t flag : {BINARY, EUC_ONLY, SJIS_LEAD, SS2_KANA, SS3_KANJI})
            if ((mayFlags[b] & flag) != 0 && !isRareByte(b, flag)) return false;
    return true;
}());

bool anyRareByte(const std::uint8_t* p, const std::uint8_t* end, std::uint32_t missing) {
#if defined(__SSE2__)
    const auto want = [&](std::uint32_t flags) { return _mm_set1_epi8((missing & flags) != 0 ? -1 : 0); };
    const auto is = [](__m128i v, int b) { return _mm_cmpeq_epi8(v, _mm_set1_epi8(static_cast<char>(b))); };
    // As signed bytes: 0x00-0x07 is -1 < b < 8, 0x10-0x19 is 0x0F < b < 0x1A, 0x81-0x9F is -128 < b < -96.
    const auto between = [](__m128i v, int above, int below) {
        return _mm_and_si128(_mm_cmpgt_epi8(v, _mm_set1_epi8(static_cast<char>(above))),
                             _mm_cmplt_epi8(v, _mm_set1_epi8(static_cast<char>(below))));
    };
    const __m128i wantBinary = want(BINARY), wantEuc = want(EUC_ONLY), wantLeads = want(sjisLeadRangeFlags);
    __m128i found = _mm_setzero_si128();
    for (; end - p >= 16; p += 16) {
        const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
        const __m128i escape = _mm_or_si128(_mm_or_si128(is(v, ESC), is(v, SO)), is(v, SI));
        const __m128i binary =
            _mm_or_si128(_mm_or_si128(between(v, -1, 0x08), between(v, 0x0F, 0x1A)), is(v, DEL));
        const __m128i euc = _mm_or_si128(is(v, 0xFD), is(v, 0xFE));
        found = _mm_or_si128(found, _mm_or_si128(escape, _mm_and_si128(binary, wantBinary)));
        found = _mm_or_si128(found, _mm_or_si128(_mm_and_si128(euc, wantEuc),
                                                 _mm_and_si128(between(v, -128, -96), wantLeads)));
    }
    if (_mm_movemask_epi8(found) != 0) return true;
#endif
    for (; p < end; ++p)
        if (isRareByte(*p, missing)) return true;
    return false;
}

// A pair of the lead 0x88 is machine-dependent up to 0x889E only, so the
// table leaves it out; it is looked for apart.
bool mayPairIzon88(const std::uint8_t* p, const std::uint8_t* end) {
    for (; (p = static_cast<const std::uint8_t*>(std::memchr(p, 0x88, static_cast<std::size_t>(end - p)))) !=
           nullptr;
         ++p)
        if (p + 1 == end || p[1] <= 0x9E) return true;
    return false;
}

// Whether decodeByte may still hold something after reading b (outside the
// kanji modes, with no EUC triple open): a CR, or a first byte.
template <CodeKind K>
constexpr bool mayHoldAfter(int b) {
    if constexpr (K == CodeKind::EUC) return b == CR || in(b, 0x81, 0x9F) || in(b, 0xA1, 0xFF);
    return b == CR || isSjisLead(b);
}

// Once a block, with no escape or shift in it (nor, in EUC, a triple), can
// set no flag that is not set already, its reading leaves only the line end
// and what is held at the end to find. After any byte that cannot be held,
// nothing is held, whatever was held before it: the usual reading takes
// over from the last such byte. Returns where, or null if this does not
// apply.
template <CodeKind K>
const std::uint8_t* settledTail(const InputBuffer& buffer, DecodeState& state, ReturnKind& returnKind,
                                const DetectReport& report) {
    const bool crHeld = state.holdsLoneCr();
    const bool leadHeld =
        state.holdsByte() && state.held != SS3 && state.held != CR && mayHoldAfter<K>(state.held);
    if (!state.empty() && !crHeld && !leadHeld) return nullptr;
    const std::uint8_t* const begin = buffer.data;
    const std::uint8_t* const end = begin + buffer.count;
    if (K == CodeKind::EUC && std::memchr(begin, SS3, static_cast<std::size_t>(end - begin)) != nullptr)
        return nullptr;
    const std::uint32_t missing = ~report.flags & (quickFlags | NEEDS_DECODE);
    if (leadHeld && (mayFlags[static_cast<std::size_t>(state.held)] & missing) != 0) return nullptr;
    if ((missing & ~rareByteFlags) == 0) {
        if (anyRareByte(begin, end, missing)) return nullptr;
    } else {
        if ((missing & IZON) && (state.held == 0x88 || mayPairIzon88(begin, end))) return nullptr;
        if ((mayFlagsOf(begin, end) & missing) != 0) return nullptr;
    }
    const std::uint8_t* sync = end;
    while (sync > begin && mayHoldAfter<K>(sync[-1])) --sync;
    if (sync == begin) return nullptr;
    for (const std::uint8_t* q = sync; q > begin;) {
        --q;
        if (*q == LF) {
            returnKind = (q > begin ? q[-1] == CR : crHeld) ? ReturnKind::CRLF : ReturnKind::LF;
            break;
        }
        if (*q == CR) {
            returnKind = ReturnKind::CR;
            break;
        }
    }
    state = DecodeState{};
    return sync;
}

template <CodeKind K>
void scanAs(Converter& conv, const InputBuffer& buffer, DecodeState& stateRef, ReturnKind& returnKind,
            DetectReport& report) {
    ShiftState shift;  // the input's JIS mode restarts with every block
    DecodeState state = stateRef;
    ReturnKind ret = returnKind;
    std::uint32_t flags = 0;
    const std::uint8_t* p = buffer.data;
    const std::uint8_t* const end = p + buffer.count;
    if constexpr (K != CodeKind::JIS && K != CodeKind::UTF8) {
        if (const std::uint8_t* tail = settledTail<K>(buffer, state, ret, report)) p = tail;
    }
    while (p < end) {
        if (state.empty()) {
            p = skipQuiet<K>(p, end, shift.inMode, state);
            if (p == end) break;
            if (!state.empty()) continue;
            if (const Quick q = quickChar<K>(p, end, shift.inMode); q.length != 0) {
                takeQuick(q, flags, shift, ret);
                p += q.length;
                continue;
            }
        }
        conv.decodeByte(*p++, K, ret, state, report, shift, true);
    }
    stateRef = state;
    returnKind = ret;
    report.flags |= flags;
}

// ---------------------------------------------------------------- conversion

// The encoder of output code Out, chosen at compile time so that it can be
// taken into the loop: exactly writeChar for a character that is no line
// end when no exchange is on.
template <CodeKind Out>
struct EncodeAs {
    const Converter& conv;
    [[gnu::always_inline]] std::uint8_t* operator()(std::uint8_t* out, CharCode c, ShiftState& shift) const {
        if constexpr (Out == CodeKind::JIS) return encodeJis(conv, out, c, shift);
        if constexpr (Out == CodeKind::SJIS) return encodeSjis(conv, out, c, shift);
        if constexpr (Out == CodeKind::UTF8) return encodeUtf8(conv, out, c, shift);
        if constexpr (isUtf16(Out)) return encodeUtf16<Out == CodeKind::UTF16BE>(conv, out, c, shift);
        return encodeEuc(conv, out, c, shift);
    }
};

// Whether writeChar would write each printable ASCII byte as itself.
template <CodeKind Out>
bool asciiPassesThrough(const Converter& conv, const ShiftState& shift) {
    if (conv.exchangeKana) return false;  // it holds every character back one step
    if constexpr (Out == CodeKind::JIS) {
        const JisMode m = conv.jisAsciiMode;
        const bool known = m == JisMode::ASCII || m == JisMode::ROMAJI || m == JisMode::NEC;
        return !known || shift.outMode == singleByteMode(m);
    }
    if constexpr (isUnicode(Out)) return !shift.bomPending;
    return true;
}

// A run of printable ASCII as UTF-16 code units, a zero byte beside each.
template <bool BigEndian>
std::uint8_t* widenAsciiRun(Converter& conv, std::uint8_t* out, const std::uint8_t*& p,
                            const std::uint8_t* end) {
    out = conv.room(out);
#if defined(__SSE2__)
    const __m128i zero = _mm_setzero_si128();
    while (end - p >= 16) {
        const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
        if (_mm_movemask_epi8(notPrintable(v)) != 0) break;
        _mm_storeu_si128(reinterpret_cast<__m128i*>(out),
                         BigEndian ? _mm_unpacklo_epi8(zero, v) : _mm_unpacklo_epi8(v, zero));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(out + 16),
                         BigEndian ? _mm_unpackhi_epi8(zero, v) : _mm_unpackhi_epi8(v, zero));
        p += 16;
        out = conv.room(out + 32);
    }
#endif
    for (int n = 1; p < end && isPrintable(*p); ++n) {
        out = putUtf16Unit<BigEndian>(out, *p++);
        if (n % 16 == 0) out = conv.room(out);
    }
    return out;
}

// A run of printable ASCII from p: the bytes written, and where it ends.
// Short runs (a comma, a number) are copied byte by byte as they are found;
// a long one is measured first and copied whole.
template <CodeKind Out>
std::uint8_t* writeAsciiRun(Converter& conv, std::uint8_t* out, const std::uint8_t*& p,
                            const std::uint8_t* end, ShiftState& shift) {
    // The first byte may bring JIS output back to its single-byte set, or
    // UTF-8 output its mark; the rest then pass through.
    while (!asciiPassesThrough<Out>(conv, shift)) {
        out = conv.writeCharAt(conv.room(out), *p++, shift);
        if (p == end || !isPrintable(*p)) return out;
    }
    if constexpr (isUtf16(Out)) return widenAsciiRun<Out == CodeKind::UTF16BE>(conv, out, p, end);
    out = conv.room(out);
#if defined(__SSE2__)
    // Sixteen bytes at a time, all stored (the room one character is given
    // takes them), the run's end found in the same vector.
    while (end - p >= 16) {
        const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(out), v);
        const int stop = _mm_movemask_epi8(notPrintable(v));
        if (stop != 0) {
            const int n = __builtin_ctz(static_cast<unsigned>(stop));
            p += n;
            return out + n;
        }
        p += 16;
        out = conv.room(out + 16);
    }
#endif
    while (p < end && isPrintable(*p)) *out++ = *p++;
    return out;
}

// A JIS X 0208 character (EUC form, both bytes 0xA1-0xFE) in output code
// Out: what its encoder writes, without the tests for the other forms.
template <CodeKind Out>
[[gnu::always_inline]] inline std::uint8_t* encodeKanji(const Converter& conv, std::uint8_t* out, CharCode c,
                                                        ShiftState& shift) {
    if constexpr (Out == CodeKind::SJIS) return putTwo(out, eucPairToSjis(c));
    if constexpr (Out == CodeKind::JIS) return encodeJisKanji(conv, out, c, shift);
    if constexpr (Out == CodeKind::UTF8) {
        const std::uint32_t packed =
            utf8OfCell[static_cast<std::size_t>(((c >> 8) - 0xA1) * 94 + (c & 0xFF) - 0xA1)];
        if (packed == 0) return encodeUtf8(conv, out, c, shift);  // no code point: the substitute
        return putPackedUtf8(out, packed);
    }
    if constexpr (isUtf16(Out)) {
        const char32_t u =
            jisX0208ToUnicode[static_cast<std::size_t>(((c >> 8) - 0xA1) * 94 + (c & 0xFF) - 0xA1)];
        if (u == 0) return EncodeAs<Out>{conv}(out, c, shift);  // no code point: the substitute
        return putUtf16Unit<Out == CodeKind::UTF16BE>(out, u);
    }
    return putTwo(out, c);
}

// A run of the characters that make up most Japanese text, read and
// written in one tight loop while no exchange is on: EUC and Shift-JIS
// kanji pairs, JIS pairs in a JIS X 0208 mode, and UTF-8 sequences of two
// and three bytes (but the mark). Returns where the run ends.
template <CodeKind In, CodeKind Out>
const std::uint8_t* convertRun(const Converter& conv, std::uint8_t*& outRef, const std::uint8_t* p,
                               const std::uint8_t* end, ShiftState& shift, std::uint32_t& flags) {
    std::uint8_t* out = outRef;
    std::uint32_t seen = 0;
    const std::uint8_t* const limit = const_cast<Converter&>(conv).sink().limit;
    const bool kanjiMode = shift.inMode >= JisMode::KANJI1978 && shift.inMode <= JisMode::NEC;
    const bool windows = conv.windowsUnicode;
    // The mark still to come, and the Windows mapping, take the encoder's way
    // (Unicode to Unicode maps nothing).
    if (isUnicode(Out) && (shift.bomPending || (In != CodeKind::UTF8 && conv.windowsUnicode))) return p;
    while (out <= limit) {
        if constexpr (In == CodeKind::UTF8) {
            const Quick q = quickUtf8(p, end);
            if (q.length < 2 || q.raw == (utf8Char | BYTE_ORDER_MARK)) break;
            if constexpr (Out == CodeKind::UTF8) {
                std::memcpy(out, p, static_cast<std::size_t>(q.length));  // every character as read
                out += q.length;
            } else if constexpr (isUtf16(Out)) {
                out = putUtf16<Out == CodeKind::UTF16BE>(out, static_cast<char32_t>(q.raw - utf8Char));
            } else if (const CharCode kanji = windows ? 0 : unicodeToKanji(q.raw - utf8Char);
                       kanji != 0 && (Out != CodeKind::SJIS || kanji < firstCellBeyondCp932Agreement)) {
                out = encodeKanji<Out>(conv, out, kanji, shift);
            } else {
                out = EncodeAs<Out>{conv}(out, utf8CharCode(conv, q.raw, shift), shift);
            }
            seen |= EIGHT_BIT;
            p += q.length;
        } else {
            if (end - p < 2) break;
            const int b0 = p[0], b1 = p[1];
            if constexpr (In == CodeKind::EUC) {
                if (!isEucByte(b0) || !isEucByte(b1)) break;
                seen |= eucPairFlags(b0, b1);
                out = encodeKanji<Out>(conv, out, b0 << 8 | b1, shift);
            } else if constexpr (In == CodeKind::SJIS) {
                if (!(in(b0, 0x81, 0x9F) || in(b0, 0xE0, 0xEF)) || !isSjisTrail(b1)) break;
                seen |= sjisPairFlags(b0, b1);
                out = encodeKanji<Out>(conv, out, sjisPairToEuc(b0, b1), shift);
            } else if constexpr (In == CodeKind::JIS) {
                if (!kanjiMode || !isJisByte(b0) || !isJisByte(b1)) break;
                out = encodeKanji<Out>(conv, out, (b0 << 8 | b1) | 0x8080, shift);
            } else {
                break;
            }
            p += 2;
        }
    }
    flags |= seen;
    outRef = out;
    return p;
}

template <CodeKind In, CodeKind Out>
void convertAs(Converter& conv, const InputBuffer& buffer, DecodeState& stateRef, ShiftState& shift,
               DetectReport& report, ReturnKind& returnKind) {
    const bool direct = !conv.exchangeAscii && !conv.exchangeKana && !conv.exchangeWindows;
    const EncodeAs<Out> encode{conv};
    const WriteChar write{conv};
    DecodeState state = stateRef;
    ReturnKind ret = returnKind;
    std::uint32_t flags = 0;
    const std::uint8_t* const data = buffer.data;
    const std::uint8_t* p = data;
    const std::uint8_t* const end = p + buffer.count;
    // Only the third byte of the input can end a byte order mark there.
    const auto atInputStart = [&] { return In == CodeKind::UTF8 && buffer.start + (p - data) == 3; };
    OutputSink& sink = conv.sink();
    std::uint8_t* out = sink.next;
    while (p < end) {
        out = conv.room(out);
        if (state.empty()) {
            const bool asciiReads =
                In == CodeKind::UTF8 ||
                (!isKanjiMode(shift.inMode) && (In != CodeKind::JIS || !isKanaShift(shift.inMode)));
            if (asciiReads && isPrintable(*p)) {
                out = writeAsciiRun<Out>(conv, out, p, end, shift);
                continue;
            }
            if (direct) {
                const std::uint8_t* const run = convertRun<In, Out>(conv, out, p, end, shift, flags);
                if (run != p) {
                    p = run;
                    continue;
                }
            }
            if (const Quick q = quickChar<In>(p, end, shift.inMode); q.length != 0) {
                takeQuick(q, flags, shift, ret);
                p += q.length;
                if (q.raw == 0) continue;
                // A line end always takes writeChar's way, for its mapping.
                out = direct && !q.lineFeed ? emitAt<In>(conv, out, q.raw, shift, atInputStart(), encode)
                                            : emitAt<In>(conv, out, q.raw, shift, atInputStart(), write);
                continue;
            }
        }
        sink.next = out;
        const RawCode r = conv.decodeByte(*p++, In, ret, state, report, shift, false);
        out = sink.next;
        if (r != 0) out = emitAt<In>(conv, conv.room(out), r, shift, atInputStart(), write);
    }
    sink.next = out;
    stateRef = state;
    returnKind = ret;
    report.flags |= flags;
}

template <CodeKind In>
constexpr std::array<InputConverter, codeKindCount> convertersFrom{
    convertAs<In, CodeKind::ASCII>,  convertAs<In, CodeKind::JIS>,  convertAs<In, CodeKind::SJIS>,
    convertAs<In, CodeKind::EUC>,    convertAs<In, CodeKind::UTF8>, convertAs<In, CodeKind::UTF16LE>,
    convertAs<In, CodeKind::UTF16BE>};

// UTF-16 input reaches the converters as the UTF-8 it is read as.
constexpr std::array<std::array<InputConverter, codeKindCount>, codeKindCount> quickConverters{
    convertersFrom<CodeKind::ASCII>, convertersFrom<CodeKind::JIS>,  convertersFrom<CodeKind::SJIS>,
    convertersFrom<CodeKind::EUC>,   convertersFrom<CodeKind::UTF8>, convertersFrom<CodeKind::UTF8>,
    convertersFrom<CodeKind::UTF8>};

constexpr std::array<void (*)(Converter&, const InputBuffer&, DecodeState&, ReturnKind&, DetectReport&),
                     codeKindCount>
    scanners{scanAs<CodeKind::ASCII>, scanAs<CodeKind::JIS>,  scanAs<CodeKind::SJIS>, scanAs<CodeKind::EUC>,
             scanAs<CodeKind::UTF8>,  scanAs<CodeKind::UTF8>, scanAs<CodeKind::UTF8>};

}  // namespace

const std::uint8_t* skipAscii(const std::uint8_t* p, const std::uint8_t* end) {
#if defined(__SSE2__)
    p = firstInVectors(p, end, [](__m128i v) { return v; });
#endif
    return firstOfClass(p, end, 2);
}

const std::uint8_t* skipPrintable(const std::uint8_t* p, const std::uint8_t* end) {
#if defined(__SSE2__)
    p = firstInVectors(p, end, notPrintable);
#endif
    return firstOfClass(p, end, 1);
}

const std::uint8_t* skipUtf8Vectors(const std::uint8_t* p, const std::uint8_t* end, int& open, bool& wide) {
    open = 0;
#if defined(__SSE2__)
    // As signed bytes: continuations 80-BF are -128..-65, leads C2-DF
    // -62..-33, E1-EF -31..-17 (ED, -19, aside).
    const auto mask = [](__m128i m) { return static_cast<unsigned>(_mm_movemask_epi8(m)); };
    const auto between = [](__m128i v, int low, int high) {
        return _mm_and_si128(_mm_cmpgt_epi8(v, _mm_set1_epi8(static_cast<char>(low - 1))),
                             _mm_cmplt_epi8(v, _mm_set1_epi8(static_cast<char>(high + 1))));
    };
    unsigned carry = 0;  // continuations the chunk before still expects, as bits from this one's first byte
    unsigned wideBits = 0;
    while (end - p >= 16) {
        const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
        const unsigned high = mask(v);
        const unsigned cont = mask(_mm_cmplt_epi8(v, _mm_set1_epi8(-64)));
        const unsigned lead2 = mask(between(v, plainLead2Low, plainLead2High));
        const unsigned lead3 = mask(between(v, plainLead3Low, plainLead3High)) &
                               ~mask(_mm_cmpeq_epi8(v, _mm_set1_epi8(notPlainLead3)));
        // Each lead's continuations, where they must be and nowhere else.
        const unsigned expected = (lead2 << 1 | lead3 << 1 | lead3 << 2) | carry;
        if ((high & ~(cont | lead2 | lead3)) != 0 || (expected & 0xFFFF) != cont) break;
        // A three-byte lead counts once its second byte has been read.
        wideBits |= (lead3 & 0x7FFF) | (carry == 3 ? 1 : 0);
        carry = expected >> 16;
        p += 16;
    }
    if (wideBits != 0) wide = true;
    open = static_cast<int>(carry);
#endif
    return p;
}

bool mayMarkBinary(const InputBuffer& buffer) { return anyBinary(buffer.data, buffer.data + buffer.count); }

void scanQuick(Converter& conv, const InputBuffer& buffer, CodeKind kind, DecodeState& state,
               ReturnKind& returnKind, DetectReport& report) {
    scanners[index(kind)](conv, buffer, state, returnKind, report);
}

InputConverter quickConverter(CodeKind in, CodeKind out) { return quickConverters[index(in)][index(out)]; }

}  // namespace zekt
