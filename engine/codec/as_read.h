// -nk: the input written as read, in its own code. Only the line ends (as
// asked) and the characters an exchange rewrites change; every other byte,
// escape, shift, byte order mark and malformed piece is written as it came.
#pragma once

#include <array>
#include <span>

#include "codec.h"

namespace zekt {

class AsReadWriter {
public:
    // One block of input in code kind; UTF-16 is read as its code units.
    void convert(Codec& conv, const InputBuffer& block, CodeKind kind);
    // What the end of the input left held, written as read.
    void finish(Codec& conv, CodeKind kind);

private:
    void convertCharacters(Codec& conv, const InputBuffer& block, CodeKind kind);
    void convertUnits(Codec& conv, const InputBuffer& block, CodeKind kind);
    void takeCharacter(Codec& conv, CharCode c, int rawStart, CodeKind kind);

    // Units are bytes, or UTF-16 code units in the input's order.
    void writeUnit(Codec& conv, int unit, CodeKind kind);
    void writeLineEnd(Codec& conv, CodeKind kind);
    void writeRaw(Codec& conv, int unit, CodeKind kind);
    void writePending(Codec& conv, int count, CodeKind kind);
    void holdKana(Codec& conv, CharCode c, CodeKind kind);
    void releaseKana(Codec& conv, CodeKind kind);
    void writeRewritten(Codec& conv, CharCode c, CodeKind kind);
    void writeEncoded(Codec& conv, std::span<const CharCode> parts, CodeKind kind, JisMode inForce);

    bool heldCr_ = false;  // a CR that a LF may join
    int halfUnit_ = -1;    // UTF-16: the first byte of a unit that the block's end split
    // While an exchange is on: the reading of the characters, and the bytes
    // of the one begun.
    DecodeState state_;
    InputShift mode_;
    ReturnKind scratchReturn_ = ReturnKind::NONE;
    DetectReport scratchReport_;
    std::array<std::uint8_t, 8> pending_{};
    int pendingCount_ = 0;
    ShiftState shift_;                   // the kana exchange's held character
    JisMode kanaMode_ = JisMode::ASCII;  // the JIS set it was read in
};

}  // namespace zekt
