// The scan of a block on the block path: the shortcuts, and a block whose
// reading can set no flag not set already (a settled block), of which only
// the line end and what is held at its end are found.
#include <cstring>

#include "fast/quick_chars.h"
#include "fast/wide_scans.h"
#include "input_decoder.h"

namespace zekt {
using namespace fast;
namespace {

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

}  // namespace

bool anyRareBytePlain(const std::uint8_t* p, const std::uint8_t* end, std::uint32_t missing) {
    for (; p < end; ++p)
        if (isRareByte(*p, missing)) return true;
    return false;
}

bool anyRareByteVectors(const std::uint8_t* p, const std::uint8_t* end, std::uint32_t missing) {
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
    return anyRareBytePlain(p, end, missing);
}

bool anyRareByteWide(const std::uint8_t* p, const std::uint8_t* end, std::uint32_t missing) {
    return wide::anyRareByte(p, end, (missing & BINARY) != 0, (missing & EUC_ONLY) != 0,
                             (missing & sjisLeadRangeFlags) != 0) ||
           anyRareByteVectors(p, end, missing);
}

namespace {

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
// kanji modes, with no EUC triple open and, in a settled block, no ESC):
// a CR, or a first byte.
template <CodeKind K>
constexpr bool mayHoldAfter(int b) {
    return b == CR || (b >= 0x80 && holdsHighByte(b, K == CodeKind::EUC));
}

// Once a block, with no escape or shift in it (nor, in EUC, a triple), can
// set no flag that is not set already, its reading leaves only the line end
// and what is held at the end to find. After any byte that cannot be held,
// nothing is held, whatever was held before it: the usual reading takes
// over from the last such byte. Returns where, or null if this does not
// apply.
template <CodeKind K>
const std::uint8_t* settledTail(const InputBuffer& buffer, DecodeState& state, ReturnKind& returnKind,
                                const DetectReport& report, const Kernels& kernels) {
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
        if (kernels.anyRareByte(begin, end, missing)) return nullptr;
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
void scanAs(const InputBuffer& buffer, DecodeState& stateRef, ReturnKind& returnKind, DetectReport& report,
            const Kernels& kernels) {
    InputShift shift;  // the input's JIS mode restarts with every block
    DecodeState state = stateRef;
    ReturnKind ret = returnKind;
    std::uint32_t flags = 0;
    const std::uint8_t* p = buffer.data;
    const std::uint8_t* const end = p + buffer.count;
    if constexpr (K != CodeKind::JIS && K != CodeKind::UTF8) {
        if (const std::uint8_t* tail = settledTail<K>(buffer, state, ret, report, kernels)) p = tail;
    }
    while (p < end) {
        if (state.empty()) {
            p = skipQuiet<K>(p, end, shift.mode, state);
            if (p == end) break;
            if (!state.empty()) continue;
            if (const Quick q = quickChar<K>(p, end, shift.mode); q.length != 0) {
                takeQuick(q, flags, shift, ret);
                p += q.length;
                continue;
            }
        }
        decodeByte(*p++, K, ret, state, report, shift, nullptr);
    }
    stateRef = state;
    returnKind = ret;
    report.flags |= flags;
}

constexpr std::array<void (*)(const InputBuffer&, DecodeState&, ReturnKind&, DetectReport&, const Kernels&),
                     codeKindCount>
    scanners{scanAs<CodeKind::ASCII>, scanAs<CodeKind::JIS>,  scanAs<CodeKind::SJIS>, scanAs<CodeKind::EUC>,
             scanAs<CodeKind::UTF8>,  scanAs<CodeKind::UTF8>, scanAs<CodeKind::UTF8>};

}  // namespace

void scanQuick(const InputBuffer& buffer, CodeKind kind, DecodeState& state, ReturnKind& returnKind,
               DetectReport& report, const Kernels& kernels) {
    scanners[index(kind)](buffer, state, returnKind, report, kernels);
}

}  // namespace zekt
