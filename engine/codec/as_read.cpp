// -nk: the input written as read, but for line ends and exchanges.
#include "as_read.h"

#include <algorithm>
#include <cstring>

#include "input_converters.h"
#include "input_decoder.h"
#include "output_encoders.h"

namespace zekt {
namespace {

constexpr bool isSingleByteSet(JisMode m) { return m == JisMode::ASCII || m == JisMode::ROMAJI; }
constexpr bool isTwoByteSet(JisMode m) {
    return m == JisMode::KANJI1978 || m == JisMode::KANJI1983 || m == JisMode::NEC;
}

// The sequence that puts JIS input back into mode m.
constexpr std::int32_t sequenceOf(JisMode m) {
    switch (m) {
        case JisMode::ROMAJI: return ESC_PAREN_J;
        case JisMode::KANA7: return ESC_PAREN_I;
        case JisMode::SISO: return SO;
        case JisMode::KANJI1978: return ESC_DOLLAR_AT;
        case JisMode::KANJI1983: return ESC_DOLLAR_B;
        case JisMode::NEC: return ESC_K;
        case JisMode::EX1990: return ESC_DOLLAR_PAREN_D;
        case JisMode::X0213_PLANE1: return ESC_DOLLAR_PAREN_Q;
        case JisMode::X0213_PLANE2: return ESC_DOLLAR_PAREN_P;
        default: return ESC_PAREN_B;
    }
}

// The character a RawCode of input code kind stands for, in the form the
// exchanges read; 0 for a piece that no exchange rewrites.
CharCode characterOf(const Codec& conv, RawCode r, CodeKind kind, JisMode mode) {
    if (r == illFormed) return 0;
    switch (kind) {
        case CodeKind::JIS: return isX0213Pair(r, mode) ? 0 : jisCharCode(r, mode);
        case CodeKind::SJIS:
            if (r < 0x20 || r == CRLF) return r;
            if (r >= 0xA1 && r <= 0xDF) return SS2 << 8 | r;
            if (r <= 0xFF) return r;
            return r <= 0xF03F ? sjisToEuc(r) : windowsChar + r;
        case CodeKind::UTF8:
            if (r < utf8Char) return r;
            return unicodeToEuc(static_cast<char32_t>(r - utf8Char), conv.windowsUnicode);
        default: return r;
    }
}

const Spelling* spellingOf(const Codec& conv, CharCode c) {
    if (!conv.exchangeWindows) return nullptr;
    if (c >= kNecRowFirst && c <= kNecRowLast && !isEmpty(necRowSpelling(c))) return &necRowSpelling(c);
    const std::int32_t code = c - windowsChar;
    if (code >= kIbmExtFirst && code <= kIbmExtLast && !isEmpty(ibmExtSpelling(code)))
        return &ibmExtSpelling(code);
    return nullptr;
}

bool rewrites(const Codec& conv, CharCode c) {
    if (c == 0) return false;
    return spellingOf(conv, c) != nullptr || (conv.exchangeAscii && foldToAscii(c) != c) ||
           (conv.exchangeKana && isHalfWidthKana(c));
}

}  // namespace

void AsReadWriter::convert(Codec& conv, const InputBuffer& block, CodeKind kind) {
    if (isUtf16(kind)) return convertUnits(conv, block, kind);
    if (anyExchange(conv)) return convertCharacters(conv, block, kind);
    if (conv.outputReturn == ReturnKind::NONE) {
        for (int i = 0; i < block.count;) {
            OutputSink& sink = conv.sink();
            sink.next = conv.room(sink.next);
            const int n =
                std::min<int>(block.count - i, static_cast<int>(sink.limit - sink.next) + maxCharBytes);
            std::memcpy(sink.next, block.data + i, static_cast<std::size_t>(n));
            sink.next += n;
            i += n;
        }
        return;
    }
    for (int i = 0; i < block.count; ++i) writeRaw(conv, block.data[i], kind);
}

// Each byte through the reading, so that a character an exchange rewrites
// is known with the bytes it was read from.
void AsReadWriter::convertCharacters(Codec& conv, const InputBuffer& block, CodeKind kind) {
    for (int i = 0; i < block.count; ++i) {
        const int b = block.data[i];
        pending_[static_cast<std::size_t>(pendingCount_++)] = static_cast<std::uint8_t>(b);
        StandAlone alone;
        const RawCode r = decodeByte(b, kind, scratchReturn_, state_, scratchReport_, mode_, &alone);
        // What stood alone is every byte before this one, as read.
        const int rawStart = alone.count > 0 ? pendingCount_ - 1 : 0;
        if (!state_.empty()) {
            if (rawStart > 0) {
                writePending(conv, rawStart, kind);
                pending_[0] = static_cast<std::uint8_t>(b);
                pendingCount_ = 1;
            }
            continue;
        }
        takeCharacter(conv, r == 0 ? 0 : characterOf(conv, r, kind, mode_.mode), rawStart, kind);
    }
}

// A character read whole from the pending bytes from rawStart on, those
// before it standing alone.
void AsReadWriter::takeCharacter(Codec& conv, CharCode c, int rawStart, CodeKind kind) {
    writePending(conv, rawStart, kind);
    if (!rewrites(conv, c)) {
        for (int k = rawStart; k < pendingCount_; ++k)
            writeRaw(conv, pending_[static_cast<std::size_t>(k)], kind);
    } else if (conv.exchangeKana && isHalfWidthKana(c)) {
        holdKana(conv, c, kind);
    } else {
        writeRewritten(conv, c, kind);
    }
    pendingCount_ = 0;
}

void AsReadWriter::writePending(Codec& conv, int count, CodeKind kind) {
    for (int k = 0; k < count; ++k) writeRaw(conv, pending_[static_cast<std::size_t>(k)], kind);
}

void AsReadWriter::convertUnits(Codec& conv, const InputBuffer& block, CodeKind kind) {
    const bool bigEndian = kind == CodeKind::UTF16BE;
    for (int i = 0; i < block.count; ++i) {
        if (halfUnit_ < 0) {
            halfUnit_ = block.data[i];
            continue;
        }
        const int unit = bigEndian ? halfUnit_ << 8 | block.data[i] : block.data[i] << 8 | halfUnit_;
        halfUnit_ = -1;
        // A surrogate has no character of its own: as read.
        const CharCode c = unicodeToEuc(static_cast<char32_t>(unit), conv.windowsUnicode);
        if (!anyExchange(conv) || !rewrites(conv, c)) {
            writeRaw(conv, unit, kind);
        } else if (conv.exchangeKana && isHalfWidthKana(c)) {
            holdKana(conv, c, kind);
        } else {
            writeRewritten(conv, c, kind);
        }
    }
}

// A unit as read, the line ends mapped as asked.
void AsReadWriter::writeRaw(Codec& conv, int unit, CodeKind kind) {
    releaseKana(conv, kind);
    if (conv.outputReturn == ReturnKind::NONE) return writeUnit(conv, unit, kind);
    if (heldCr_) {
        heldCr_ = false;
        writeLineEnd(conv, kind);
        if (unit == LF) return;
    }
    if (unit == CR) {
        heldCr_ = true;
    } else if (unit == LF) {
        writeLineEnd(conv, kind);
    } else {
        writeUnit(conv, unit, kind);
    }
}

void AsReadWriter::writeUnit(Codec& conv, int unit, CodeKind kind) {
    OutputSink& sink = conv.sink();
    sink.next = conv.room(sink.next);
    if (kind == CodeKind::UTF16LE)
        sink.next = putUtf16Unit<false>(sink.next, static_cast<char32_t>(unit));
    else if (kind == CodeKind::UTF16BE)
        sink.next = putUtf16Unit<true>(sink.next, static_cast<char32_t>(unit));
    else
        *sink.next++ = static_cast<std::uint8_t>(unit);
}

void AsReadWriter::writeLineEnd(Codec& conv, CodeKind kind) {
    if (conv.outputReturn != ReturnKind::LF) writeUnit(conv, CR, kind);
    if (conv.outputReturn != ReturnKind::CR) writeUnit(conv, LF, kind);
}

// A half-width kana is held one step, so that a sound mark can join it;
// it is written in the JIS set it was read in, before anything after it.
void AsReadWriter::holdKana(Codec& conv, CharCode c, CodeKind kind) {
    if (const CharCode now = widenKana(c, shift_); now != 0) writeEncoded(conv, {&now, 1}, kind, kanaMode_);
    kanaMode_ = mode_.mode;
}

void AsReadWriter::releaseKana(Codec& conv, CodeKind kind) {
    if (shift_.writer.heldKana == 0) return;
    const CharCode now = widenKana(0, shift_);
    writeEncoded(conv, {&now, 1}, kind, kanaMode_);
}

void AsReadWriter::writeRewritten(Codec& conv, CharCode c, CodeKind kind) {
    releaseKana(conv, kind);
    if (const Spelling* spelling = spellingOf(conv, c)) {
        const auto length = std::find(spelling->begin(), spelling->end(), 0) - spelling->begin();
        return writeEncoded(conv, {spelling->data(), static_cast<std::size_t>(length)}, kind, mode_.mode);
    }
    const CharCode folded = conv.exchangeAscii ? foldToAscii(c) : c;
    writeEncoded(conv, {&folded, 1}, kind, mode_.mode);
}

// Rewritten characters in the input's code; in JIS in the two-byte set in
// force where one is, and the set in force (inForce) restored after them,
// so that the bytes that follow read as they did.
void AsReadWriter::writeEncoded(Codec& conv, std::span<const CharCode> parts, CodeKind kind,
                                JisMode inForce) {
    if (heldCr_) {
        heldCr_ = false;
        writeLineEnd(conv, kind);
    }
    OutputSink& sink = conv.sink();
    JisMode mode = inForce;
    for (const CharCode c : parts) {
        std::uint8_t* out = conv.room(sink.next);
        switch (kind) {
            case CodeKind::JIS:
                if (c <= 0xFF) {
                    if (!isSingleByteSet(mode))
                        out = putCodeBytes(out, mode == JisMode::SISO ? SI : ESC_PAREN_B);
                    if (!isSingleByteSet(mode)) mode = JisMode::ASCII;
                    out = put(out, c);
                } else {
                    if (!isTwoByteSet(mode)) out = putCodeBytes(out, ESC_DOLLAR_B);
                    if (!isTwoByteSet(mode)) mode = JisMode::KANJI1983;
                    out = putTwo(out, c & 0x7F7F);
                }
                break;
            case CodeKind::SJIS: out = encodeSjis(conv, out, c, shift_); break;
            case CodeKind::UTF8: out = encodeUtf8(conv, out, c, shift_); break;
            case CodeKind::UTF16LE: out = encodeUtf16<false>(conv, out, c, shift_); break;
            case CodeKind::UTF16BE: out = encodeUtf16<true>(conv, out, c, shift_); break;
            default: out = encodeEuc(conv, out, c, shift_); break;
        }
        sink.next = out;
    }
    if (kind == CodeKind::JIS && mode != inForce)
        sink.next = putCodeBytes(conv.room(sink.next), sequenceOf(inForce));
}

void AsReadWriter::finish(Codec& conv, CodeKind kind) {
    writePending(conv, pendingCount_, kind);
    pendingCount_ = 0;
    releaseKana(conv, kind);
    if (heldCr_) {
        heldCr_ = false;
        writeLineEnd(conv, kind);
    }
    if (halfUnit_ >= 0) {
        OutputSink& sink = conv.sink();
        *(sink.next = conv.room(sink.next))++ = static_cast<std::uint8_t>(halfUnit_);
    }
}

}  // namespace zekt
