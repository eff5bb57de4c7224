// The conversion loops of the block path: runs of ASCII and of the
// characters that make up most Japanese text, read and written in tight
// loops with exactly the effect of decodeByte and writeChar.
#include <algorithm>
#include <cstring>

#include "fast/quick_chars.h"
#include "fast/unicode_sjis.h"
#include "input_decoder.h"
#include "output_encoders.h"

namespace zekt {
using namespace fast;
namespace {

// The encoder of output code Out, chosen at compile time so that it can be
// taken into the loop: exactly writeChar for a character that is no line
// end when no exchange is on.
template <CodeKind Out>
struct EncodeAs {
    const Codec& conv;
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
bool asciiPassesThrough(const Codec& conv, const ShiftState& shift) {
    if (conv.exchangeKana) return false;  // it holds every character back one step
    if constexpr (Out == CodeKind::JIS) {
        const JisMode m = conv.jisAsciiMode;
        const bool known = m == JisMode::ASCII || m == JisMode::ROMAJI || m == JisMode::NEC;
        return !known || shift.output.mode == singleByteMode(m);
    }
    if constexpr (isUnicode(Out)) return !shift.writer.markPending;
    return true;
}

// A run of printable ASCII as UTF-16 code units, a zero byte beside each.
template <bool BigEndian>
std::uint8_t* widenAsciiRun(Codec& conv, std::uint8_t* out, const std::uint8_t*& p, const std::uint8_t* end) {
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
std::uint8_t* writeAsciiRun(Codec& conv, std::uint8_t* out, const std::uint8_t*& p, const std::uint8_t* end,
                            ShiftState& shift) {
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
[[gnu::always_inline]] inline std::uint8_t* encodeKanji(const Codec& conv, std::uint8_t* out, CharCode c,
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

// Whether the three bytes at p are U+3099 or U+309A in UTF-8 (E3 82 99, E3
// 82 9A), told without a branch: the two differ from the first by 0 and 0x10000.
[[gnu::always_inline]] inline bool kanaMarkAt(const std::uint8_t* p) {
    const std::uint32_t w = static_cast<std::uint32_t>(p[0] | p[1] << 8 | p[2] << 16);
    return ((w - 0x9982E3u) & ~0x10000u) == 0;
}

// The block path writes a kana as its cell without noting it: a mark after
// it finds it in the input, the three bytes before the mark in the block,
// and its cell as the last two bytes written (which nothing flushes between
// them). Joined as the plain way joins them; false if they do not join.
inline bool joinReadKanaMark(const Codec& conv, std::uint8_t* out, const std::uint8_t* mark,
                             const std::uint8_t* start, ShiftState& shift) {
    const auto continues = [](int c) { return (c ^ 0x80) < 0x40; };
    if (mark - start < 3 || mark[-3] != 0xE3 || !continues(mark[-2]) || !continues(mark[-1])) return false;
    const char32_t kana = 0x3000 | (mark[-2] & 0x3F) << 6 | (mark[-1] & 0x3F);
    return rewriteKana(conv, out, kana, mark[2] == 0x99 ? 0x3099 : 0x309A, shift);
}

// What the block path's table lookups leave of UTF-8 before a legacy
// output: a mark that joins the kana read before it, or the encoder's way
// through writeUtf8Char. Out of line: rare, and kept out of the loops.
template <CodeKind Out>
[[gnu::noinline]] std::uint8_t* writeQuickUtf8Char(const Codec& conv, std::uint8_t* out,
                                                   const std::uint8_t* p, const std::uint8_t* start,
                                                   RawCode raw, ShiftState& shift) {
    if (kanaMarkAt(p) && joinReadKanaMark(conv, out, p, start, shift)) return out;
    return writeUtf8Char(conv, out, raw, shift, EncodeAs<Out>{conv});
}

// A UTF-8 sequence of two or three bytes (but the mark) in output code Out,
// as the encoder would write it once no exchange is on.
template <CodeKind Out>
[[gnu::always_inline]] inline std::uint8_t* encodeQuickUtf8(const Codec& conv, std::uint8_t* out,
                                                            const std::uint8_t* p, const std::uint8_t* start,
                                                            const Quick& q, ShiftState& shift) {
    if constexpr (Out == CodeKind::UTF8) {
        std::memcpy(out, p, 4);  // every character as read; the room and the input hold four
        return out + q.length;
    } else if constexpr (isUtf16(Out)) {
        return putUtf16<Out == CodeKind::UTF16BE>(out, static_cast<char32_t>(q.raw - utf8Char));
    } else if constexpr (Out == CodeKind::SJIS) {
        if (const int sjis = conv.windowsUnicode ? 0 : quickSjisOf(static_cast<char32_t>(q.raw - utf8Char)))
            return putTwo(out, sjis);
        return writeQuickUtf8Char<Out>(conv, out, p, start, q.raw, shift);
    } else {
        const CharCode kanji = conv.windowsUnicode ? 0 : unicodeToKanji(q.raw - utf8Char);
        if (kanji != 0 && (Out != CodeKind::SJIS || kanji < firstCellBeyondCp932Agreement))
            return encodeKanji<Out>(conv, out, kanji, shift);
        return writeQuickUtf8Char<Out>(conv, out, p, start, q.raw, shift);
    }
}

// One of the characters that make up most Japanese text, at p with nothing
// held before it: EUC and Shift-JIS kanji pairs, JIS pairs in a JIS X 0208
// mode, and UTF-8 sequences of two and three bytes (but the mark). Written,
// its flags gathered and p moved past it; false, and nothing done, for any
// other. NearEnd: fewer than four bytes may be left after p.
template <CodeKind In, CodeKind Out, bool NearEnd = true>
[[gnu::always_inline]] inline bool takeKanji(const Codec& conv, std::uint8_t*& out, const std::uint8_t*& p,
                                             const std::uint8_t* start, const std::uint8_t* end,
                                             ShiftState& shift, std::uint32_t& seen) {
    if constexpr (In == CodeKind::UTF8) {
        const Quick q = quickUtf8(p, end);
        if (q.length < 2 || q.raw == (utf8Char | BYTE_ORDER_MARK)) return false;
        if constexpr (isLegacy(Out) && NearEnd) {
            // A kana that a mark in the next block may join takes the plain way.
            if (end - (p + q.length) < 3 && takesKanaMark(static_cast<char32_t>(q.raw - utf8Char)))
                return false;
        }
        if (Out == CodeKind::UTF8 && NearEnd && end - p < 4) {
            std::memcpy(out, p, static_cast<std::size_t>(q.length));
            out += q.length;
        } else {
            out = encodeQuickUtf8<Out>(conv, out, p, start, q, shift);
        }
        seen |= EIGHT_BIT;
        p += q.length;
        return true;
    } else {
        if (end - p < 2) return false;
        const int b0 = p[0], b1 = p[1];
        if constexpr (In == CodeKind::EUC) {
            if (!isEucByte(b0) || !isEucByte(b1)) return false;
            seen |= eucPairFlags(b0, b1);
            out = encodeKanji<Out>(conv, out, b0 << 8 | b1, shift);
        } else if constexpr (In == CodeKind::SJIS) {
            // Table entries of 0 mark a byte that is no quick lead or no trail.
            const int row = quickSjisRow[b0], cell = quickSjisCell[b1];
            if (row == 0 || cell == 0) return false;
            seen |= sjisPairFlagsNoBranch(b0, b1);
            out = encodeKanji<Out>(conv, out, (row << 8) + cell, shift);
        } else if constexpr (In == CodeKind::JIS) {
            const JisMode mode = shift.input.mode;
            if (mode < JisMode::KANJI1978 || mode > JisMode::NEC || !isJisByte(b0) || !isJisByte(b1))
                return false;
            out = encodeKanji<Out>(conv, out, (b0 << 8 | b1) | 0x8080, shift);
        } else {
            return false;
        }
        p += 2;
        return true;
    }
}

// The mark still to come, and the Windows mapping, take the encoder's way
// (Unicode to Unicode maps nothing).
template <CodeKind In, CodeKind Out>
bool encoderDecides(const Codec& conv, const ShiftState& shift) {
    return isUnicode(Out) && (shift.writer.markPending || (In != CodeKind::UTF8 && conv.windowsUnicode));
}

// A run of those characters, read and written in one tight loop while no
// exchange is on. Returns where the run ends.
template <CodeKind In, CodeKind Out>
const std::uint8_t* convertRun(const Codec& conv, std::uint8_t*& outRef, const std::uint8_t* p,
                               const std::uint8_t* start, const std::uint8_t* end, ShiftState& shift,
                               std::uint32_t& flags) {
    if (encoderDecides<In, Out>(conv, shift)) return p;
    std::uint8_t* out = outRef;
    std::uint32_t seen = 0;
    const std::uint8_t* const limit = conv.sink().limit;
    while (out <= limit && takeKanji<In, Out>(conv, out, p, start, end, shift, seen)) {
    }
    flags |= seen;
    outRef = out;
    return p;
}

// The codes whose text the mixed loop below reads and writes: printable
// ASCII means itself on both sides, whatever came before it.
template <CodeKind In, CodeKind Out>
inline constexpr bool mixesAscii =
    (In == CodeKind::EUC || In == CodeKind::SJIS || In == CodeKind::UTF8) && Out != CodeKind::AS_READ;

#if defined(__SSE2__)
// The printable ASCII that starts at p, written; sixteen bytes are stored at
// a time (as UTF-16, thirty-two), which the room takes, while at least
// twenty are left and the room lasts. Whole vectors advance by a constant,
// so that the next load need not wait for this one's count.
template <CodeKind Out>
[[gnu::always_inline]] inline const std::uint8_t* copyPrintable(std::uint8_t*& outRef, const std::uint8_t* p,
                                                                const std::uint8_t* end,
                                                                const std::uint8_t* limit) {
    std::uint8_t* out = outRef;
    constexpr int width = isUtf16(Out) ? 2 : 1;
    for (;;) {
        const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
        if constexpr (isUtf16(Out)) {
            const __m128i zero = _mm_setzero_si128();
            constexpr bool big = Out == CodeKind::UTF16BE;
            _mm_storeu_si128(reinterpret_cast<__m128i*>(out),
                             big ? _mm_unpacklo_epi8(zero, v) : _mm_unpacklo_epi8(v, zero));
            _mm_storeu_si128(reinterpret_cast<__m128i*>(out + 16),
                             big ? _mm_unpackhi_epi8(zero, v) : _mm_unpackhi_epi8(v, zero));
        } else {
            _mm_storeu_si128(reinterpret_cast<__m128i*>(out), v);
        }
        const unsigned stop = static_cast<unsigned>(_mm_movemask_epi8(notPrintable(v)));
        if (stop == 0 && end - p >= 36 && out + 16 * width <= limit) {
            p += 16;
            out += 16 * width;
            continue;
        }
        const int n = __builtin_ctz(stop | 0x10000);
        outRef = out + n * width;
        return p + n;
    }
}
#endif

// Text where ASCII and kanji alternate every few characters (names, CSV,
// dictionaries) would leave the ASCII run and the kanji run at every turn,
// each time at the cost of a mispredicted branch. Here every step takes the
// printable ASCII that comes first, by one vector, and then one character,
// so that the turns cost nothing. Returns where it stopped: a byte neither
// takes, or near the end of the block or of the room.
template <CodeKind In, CodeKind Out>
const std::uint8_t* convertMixedRun(const Codec& conv, std::uint8_t*& outRef, const std::uint8_t* p,
                                    const std::uint8_t* start, const std::uint8_t* end, ShiftState& shift,
                                    std::uint32_t& flags, ReturnKind& returnKind) {
#if defined(__SSE2__)
    std::uint8_t* out = outRef;
    std::uint32_t seen = 0;
    const std::uint8_t* const limit = conv.sink().limit;
    if (encoderDecides<In, Out>(conv, shift)) return p;
    // A LF that the output keeps as it is.
    [[maybe_unused]] const bool lineFeedsKept =
        conv.outputReturn == ReturnKind::NONE || conv.outputReturn == ReturnKind::LF;
    // Sixteen bytes looked at, then a character of at most four.
    while (end - p >= 20 && out <= limit) {
        if constexpr (In == CodeKind::UTF8 && Out == CodeKind::UTF8) {
            // Well-formed text is written as read, whole chunks of it at once.
            Utf8Text text;
            const std::uint8_t* const stop = p + std::min(end - p, limit + maxCharBytes - out);
            if (const std::uint8_t* const span = skipUtf8Text(p, stop, lineFeedsKept, text); span != p) {
                std::memcpy(out, p, static_cast<std::size_t>(span - p));
                out += span - p;
                p = span;
                if (text.high) seen |= EIGHT_BIT;
                if (text.lineFeed) returnKind = ReturnKind::LF;
                continue;
            }
        }
        if (*p < 0x80) {
            // JIS output returns to its single-byte set before the first byte.
            if (Out == CodeKind::JIS && isPrintable(*p)) out = returnToSingleByte(conv, out, shift);
            const std::uint8_t* const run = copyPrintable<Out>(out, p, end, limit);
            if (run == p) break;
            p = run;
            continue;
        }
        if (!takeKanji<In, Out, false>(conv, out, p, start, end, shift, seen)) break;
    }
    flags |= seen;
    outRef = out;
#else
    (void)conv, (void)outRef, (void)end, (void)shift, (void)flags, (void)returnKind;
#endif
    return p;
}

// JIS text turns between ASCII and kanji by an escape sequence every few
// characters; here the sequences are taken in the same loop as the text
// they select. Returns where it stopped, as convertMixedRun does.
template <CodeKind Out>
const std::uint8_t* convertJisRun(const Codec& conv, std::uint8_t*& outRef, const std::uint8_t* p,
                                  const std::uint8_t* end, ShiftState& shift, std::uint32_t& flags) {
#if defined(__SSE2__)
    std::uint8_t* out = outRef;
    std::uint32_t seen = 0;
    const std::uint8_t* const limit = conv.sink().limit;
    if (encoderDecides<CodeKind::JIS, Out>(conv, shift)) return p;
    JisMode mode = shift.input.mode;
    while (end - p >= 20 && out <= limit) {
        const int b0 = p[0];
        if (b0 == ESC || isShift(b0)) {
            const Quick q = quickEscape(p, end);
            if (q.length == 0) break;
            seen |= q.flags;
            mode = q.mode;
            p += q.length;
        } else if (mode >= JisMode::KANJI1978 && mode <= JisMode::NEC) {
            const int b1 = p[1];
            if (!isJisByte(b0) || !isJisByte(b1)) break;
            out = encodeKanji<Out>(conv, out, (b0 << 8 | b1) | 0x8080, shift);
            p += 2;
        } else if (!isKanjiMode(mode) && !isKanaShift(mode)) {
            if (Out == CodeKind::JIS && isPrintable(b0)) out = returnToSingleByte(conv, out, shift);
            const std::uint8_t* const run = copyPrintable<Out>(out, p, end, limit);
            if (run == p) break;
            p = run;
        } else {
            break;
        }
    }
    shift.input.mode = mode;
    flags |= seen;
    outRef = out;
#else
    (void)conv, (void)outRef, (void)end, (void)shift, (void)flags;
#endif
    return p;
}

template <CodeKind In, CodeKind Out>
void convertAs(Codec& conv, const InputBuffer& buffer, DecodeState& stateRef, ShiftState& shift,
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
    StandAlone alone;
    OutputSink& sink = conv.sink();
    std::uint8_t* out = sink.next;
    while (p < end) {
        if (out > sink.limit) {
            // Not between a kana and the mark that joins it.
            if (In == CodeKind::UTF8 && isLegacy(Out) && direct && state.empty() && end - p >= 3 &&
                kanaMarkAt(p) && joinReadKanaMark(conv, out, p, data, shift)) {
                p += 3;
                continue;
            }
            out = conv.flushOutput(out);
        }
        if (state.empty()) {
            const bool asciiReads =
                In == CodeKind::UTF8 ||
                (!isKanjiMode(shift.input.mode) && (In != CodeKind::JIS || !isKanaShift(shift.input.mode)));
            // Where the mixed loops had room to look and took nothing, neither
            // would the run loops below.
            bool looked = false;
            if (In == CodeKind::JIS && mixesAscii<CodeKind::EUC, Out> && direct) {
                const std::uint8_t* const run = convertJisRun<Out>(conv, out, p, end, shift, flags);
                if (run != p) {
                    p = run;
                    continue;
                }
                looked = end - p >= 20 && !encoderDecides<In, Out>(conv, shift);
            }
            // (The mark at the very start of UTF-8 input is dropped on the way below.)
            if (mixesAscii<In, Out> && direct && asciiReads &&
                (In != CodeKind::UTF8 || buffer.start + (p - data) > 0)) {
                const std::uint8_t* const run =
                    convertMixedRun<In, Out>(conv, out, p, data, end, shift, flags, ret);
                if (run != p) {
                    p = run;
                    continue;
                }
                looked = end - p >= 20 && !encoderDecides<In, Out>(conv, shift);
            }
            if (!looked && asciiReads && isPrintable(*p)) {
                out = writeAsciiRun<Out>(conv, out, p, end, shift);
                continue;
            }
            if (direct && !looked) {
                const std::uint8_t* const run = convertRun<In, Out>(conv, out, p, data, end, shift, flags);
                if (run != p) {
                    p = run;
                    continue;
                }
            }
            if (const Quick q = quickChar<In>(p, end, shift.input.mode); q.length != 0) {
                takeQuick(q, flags, shift.input, ret);
                p += q.length;
                if (q.raw == 0) continue;
                // A line end always takes writeChar's way, for its mapping.
                out = direct && !q.lineFeed ? emitAt<In>(conv, out, q.raw, shift, atInputStart(), encode)
                                            : emitAt<In>(conv, out, q.raw, shift, atInputStart(), write);
                continue;
            }
        }
        const RawCode r = decodeByte(*p++, In, ret, state, report, shift.input, &alone);
        for (int k = 0; k < alone.count; ++k)
            out = emitAt<In>(conv, conv.room(out), alone.codes[k], shift, false, write);
        alone.count = 0;
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

}  // namespace

InputConverter quickConverter(CodeKind in, CodeKind out) { return quickConverters[index(in)][index(out)]; }

}  // namespace zekt
