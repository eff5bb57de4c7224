// The block path of the JIS X 0213 codes: Shift_JIS-2004 and EUC-JIS-2004
// read into Unicode, and UTF-8 written in the JIS X 0213 codes. Each loop
// takes the common characters whole, with exactly the effect of the plain
// way, and leaves the rest to it a byte at a time: line ends, controls,
// anything held, characters without a code, and, before a JIS X 0213
// output, a combining mark and the character it may join.
#include "fast/block_shortcuts.h"
#include "fast/quick_chars.h"
#include "input_decoder.h"

namespace zekt {
namespace {

using fast::isPrintable;
using fast::Quick;
using fast::quickUtf8;

// Code points that a JIS X 0213 output may join with the character before
// them: every mark the tables join, within these.
constexpr bool mayJoinBefore(char32_t u) {
    return (u >= 0x0300 && u <= 0x036F) || u == 0x02E5 || u == 0x02E9 || u == 0x3099 || u == 0x309A;
}
static_assert([] {
    for (const Composition& c : compositions)
        if (!mayJoinBefore(c.mark)) return false;
    for (const auto& pair : jisX0213Pairs)
        if (!mayJoinBefore(pair[1])) return false;
    return true;
}());

// Whether the character at next may be such a mark: its UTF-8 says so, or
// too little of it is in the block to tell.
constexpr bool markMayStart(const std::uint8_t* next, const std::uint8_t* end) {
    if (end - next < 3) return true;
    switch (next[0]) {
        case 0xCB: return next[1] == 0xA5 || next[1] == 0xA9;  // U+02E5, U+02E9
        case 0xCC:
        case 0xCD: return true;  // U+0300-U+037F
        case 0xE3: return next[1] == 0x82 && (next[2] == 0x99 || next[2] == 0x9A);
        default: return false;
    }
}
static_assert([] {
    for (char32_t u = 0x80; u < 0x10000; ++u) {
        if (!mayJoinBefore(u)) continue;
        const std::array<std::uint8_t, 6> utf8 =
            u < 0x800 ? std::array<std::uint8_t, 6>{static_cast<std::uint8_t>(0xC0 | u >> 6),
                                                    static_cast<std::uint8_t>(0x80 | (u & 0x3F))}
                      : std::array<std::uint8_t, 6>{static_cast<std::uint8_t>(0xE0 | u >> 12),
                                                    static_cast<std::uint8_t>(0x80 | ((u >> 6) & 0x3F)),
                                                    static_cast<std::uint8_t>(0x80 | (u & 0x3F))};
        if (!markMayStart(utf8.data(), utf8.data() + utf8.size())) return false;
    }
    return true;
}());

template <CodeKind Out>
inline std::uint8_t* putUnicode(std::uint8_t* out, char32_t u) {
    if constexpr (Out == CodeKind::UTF8) return putUtf8(out, u);
    return putUtf16<Out == CodeKind::UTF16BE>(out, u);
}

// What the plain way does to every byte the loops leave.
template <CodeKind In>
std::uint8_t* convertByte(Codec& conv, std::uint8_t* out, const InputBuffer& buffer, int at,
                          DecodeState& state, ShiftState& shift, DetectReport& report,
                          ReturnKind& returnKind) {
    StandAlone alone;
    const RawCode r = decodeByte(buffer.data[at], In, returnKind, state, report, shift.input, &alone);
    const WriteChar write{conv};
    for (int k = 0; k < alone.count; ++k)
        out = emitAt<In>(conv, conv.room(out), alone.codes[k], shift, false, write);
    if (r == 0) return out;
    if (conv.inputJisX0213 && In != CodeKind::UTF8)
        return emitX0213At<In>(conv, conv.room(out), r, shift, write);
    return emitAt<In>(conv, conv.room(out), r, shift, buffer.start + at == 2, write);
}

// Shift_JIS-2004 or EUC-JIS-2004 to UTF-8 or UTF-16: printable ASCII (but
// Shift_JIS-2004's yen sign and overline) and the pairs of one code point.
template <CodeKind In, CodeKind Out>
void convertFromX0213(Codec& conv, const InputBuffer& buffer, DecodeState& state, ShiftState& shift,
                      DetectReport& report, ReturnKind& returnKind) {
    const bool direct = !anyExchange(conv) && !shift.writer.markPending;
    const std::uint8_t* const data = buffer.data;
    std::uint32_t flags = 0;
    OutputSink& sink = conv.sink();
    std::uint8_t* out = sink.next;
    for (int i = 0; i < buffer.count;) {
        out = conv.room(out);
        if (direct && state.empty()) {
            const int b0 = data[i];
            // After an escape into a kanji set printable bytes pair up, as in JIS.
            if (isPrintable(b0) && !isKanjiMode(shift.input.mode) &&
                (In != CodeKind::SJIS || (b0 != 0x5C && b0 != 0x7E))) {
                out = putUnicode<Out>(out, static_cast<char32_t>(b0));
                ++i;
                continue;
            }
            if (b0 >= 0x80 && buffer.count - i >= 2) {
                const int b1 = data[i + 1];
                const bool euc = In == CodeKind::EUC && isEucByte(b0) && isEucByte(b1);
                const bool sjis = In == CodeKind::SJIS && isSjisLead(b0) && isSjisTrail(b1);
                const CodePoints cps = x0213CodePoints(euc    ? b0 << 8 | b1
                                                       : sjis ? sjisToX0213(b0 << 8 | b1)
                                                              : 0);
                if (cps.first != 0 && cps.second == 0) {
                    out = putUnicode<Out>(out, cps.first);
                    flags |= euc ? fast::eucPairFlags(b0, b1) : fast::sjisPairFlags(b0, b1);
                    i += 2;
                    continue;
                }
            }
        }
        out = convertByte<In>(conv, out, buffer, i++, state, shift, report, returnKind);
    }
    sink.next = out;
    report.flags |= flags;
}

// UTF-8 to Shift_JIS-2004, EUC-JIS-2004 or ISO-2022-JP-2004: printable
// ASCII and the two- and three-byte characters that have a code, but for a
// mark and the character before one.
template <CodeKind Out>
void convertToX0213(Codec& conv, const InputBuffer& buffer, DecodeState& state, ShiftState& shift,
                    DetectReport& report, ReturnKind& returnKind) {
    const bool direct = !anyExchange(conv);
    const std::uint8_t* const data = buffer.data;
    const std::uint8_t* const end = data + buffer.count;
    std::uint32_t flags = 0;
    OutputSink& sink = conv.sink();
    std::uint8_t* out = sink.next;
    for (int i = 0; i < buffer.count;) {
        out = conv.room(out);
        const std::uint8_t* const p = data + i;
        if (direct && state.empty()) {
            if (isPrintable(*p) && !markMayStart(p + 1, end)) {
                out = x0213Encoders[index(Out)](conv, out, *p, shift);
                ++i;
                continue;
            }
            if (const Quick q = quickUtf8(p, end); q.length >= 2) {
                const auto u = static_cast<char32_t>(q.raw - utf8Char);
                const std::int32_t code = unicodeToX0213(u);
                if (code != 0 && !mayJoinBefore(u) && !markMayStart(p + q.length, end)) {
                    // JIS decides between JIS X 0208 and JIS X 0213 by the code point.
                    const CharCode c = Out == CodeKind::JIS ? q.raw : x0213Char | code;
                    out = x0213Encoders[index(Out)](conv, out, c, shift);
                    flags |= q.flags;
                    i += q.length;
                    continue;
                }
            }
        }
        out = convertByte<CodeKind::UTF8>(conv, out, buffer, i++, state, shift, report, returnKind);
    }
    sink.next = out;
    report.flags |= flags;
}

template <CodeKind In>
constexpr std::array<InputConverter, codeKindCount> fromX0213{nullptr,
                                                              nullptr,
                                                              nullptr,
                                                              nullptr,
                                                              convertFromX0213<In, CodeKind::UTF8>,
                                                              convertFromX0213<In, CodeKind::UTF16LE>,
                                                              convertFromX0213<In, CodeKind::UTF16BE>};

constexpr std::array<InputConverter, codeKindCount> toX0213{nullptr,
                                                            convertToX0213<CodeKind::JIS>,
                                                            convertToX0213<CodeKind::SJIS>,
                                                            convertToX0213<CodeKind::EUC>,
                                                            nullptr,
                                                            nullptr,
                                                            nullptr};

}  // namespace

InputConverter x0213Converter(const CodecSettings& settings, CodeKind in) {
    const bool x0213In = settings.inputJisX0213 && in != CodeKind::JIS;
    InputConverter quick = nullptr;
    if (x0213In && !settings.outputJisX0213)
        quick = (in == CodeKind::SJIS ? fromX0213<CodeKind::SJIS>
                                      : fromX0213<CodeKind::EUC>)[index(settings.outputCode)];
    else if (!x0213In && settings.outputJisX0213 && in == CodeKind::UTF8)
        quick = toX0213[index(settings.outputCode)];
    if (quick != nullptr && !settings.perByte) return quick;
    return (x0213In ? x0213InputConverters : inputConverters)[index(in)];
}

}  // namespace zekt
