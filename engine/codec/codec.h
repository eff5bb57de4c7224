// The codec's settings and its writer: characters in, the output code's
// bytes gathered in a buffer that a front end empties.
#pragma once

#include <array>
#include <cstdint>

#include "engine_types.h"
#include "fast/kernels.h"

namespace zekt {

// The settings the decoders, detection and encoders read, with the
// defaults both programs use.
struct CodecSettings {
    // Detection decides block by block: the input is scanned in blocks of
    // this many bytes (the block path reads more at a time, in whole blocks).
    std::int32_t detectionBlockSize = 1024;
    CodeKind inputCode = CodeKind::DETECT;
    CodeKind outputCode = CodeKind::SJIS;
    ReturnKind outputReturn = ReturnKind::CRLF;
    JisMode jisAsciiMode = JisMode::ASCII;
    JisMode jisKanaMode = JisMode::KANA7;
    JisMode jisKanjiMode = JisMode::KANJI1983;
    bool escapeBeforeControls = true;
    bool binaryCheck = true;
    bool exchangeAscii = false;
    bool exchangeKana = false;
    bool exchangeWindows = false;
    bool outputBom = false;         // UTF-8 or UTF-16 output starts with a byte order mark
    bool inputMarkDecides = false;  // UTF-16 input: a byte order mark at the start picks the order
    bool windowsUnicode = false;    // the Windows mapping to and from Unicode
    // Shift-JIS, EUC or JIS input or output in their JIS X 0213 forms
    // (Shift_JIS-2004, EUC-JIS-2004, ISO-2022-JP-2004).
    bool inputJisX0213 = false;
    bool outputJisX0213 = false;
    // The plain path: blocks filled byte by byte and every byte through
    // decodeByte, without the block reads and shortcuts that give the same
    // result faster. Tests compare the two.
    bool perByte = false;
    // The widest vectors the block path may use.
    VectorLevel vectorLevel = machineVectorLevel();
};

// Where output bytes gather before the front end takes them.
struct OutputSink {
    std::uint8_t* data = nullptr;
    std::uint8_t* next = nullptr;   // where the next byte goes
    std::uint8_t* limit = nullptr;  // past it, one more character might not fit
    std::int64_t flushed = 0;       // bytes handed on before data, since attached
};

// The offset in the output of the byte out will hold.
inline std::int64_t outputOffset(const OutputSink& sink, const std::uint8_t* out) {
    return sink.flushed + (out - sink.data);
}

// The most bytes one writeChar can produce: a spelling of six characters,
// each after a shift sequence.
inline constexpr int maxCharBytes = 64;

// The settings and the output buffer. A front end derives from it and takes
// the bytes in writeBlock.
class Codec : public CodecSettings {
public:
    Codec() { detachOutput(); }
    Codec(const Codec&) = delete;
    Codec& operator=(const Codec&) = delete;
    virtual ~Codec() = default;

    // Detection and the line ends of one block. forms carries the checks of
    // the raw bytes across blocks. refuseBinary: binary evidence makes the
    // kind NOT_TEXT. kernels: the block path's, of vectorLevel.
    void scanBlock(const InputBuffer& buffer, DecodeState& state, FormCheck& forms, CodeKind& kind,
                   ReturnKind& returnKind, DetectReport& report, bool refuseBinary, const Kernels& kernels);

    // The single way a character reaches the output.
    void writeChar(CharCode c, ShiftState& shift) { sink_.next = writeCharAt(room(sink_.next), c, shift); }
    // writeChar's steps, writing at out, which has room for maxCharBytes.
    std::uint8_t* writeCharAt(std::uint8_t* out, CharCode c, ShiftState& shift);
    // The output buffer, and out if a character still fits after it, else
    // the start of the emptied buffer.
    OutputSink& sink() { return sink_; }
    const OutputSink& sink() const { return sink_; }
    std::uint8_t* room(std::uint8_t* out) { return out <= sink_.limit ? out : flushOutput(out); }
    // Hands the bytes before end to writeBlock; returns where the next goes.
    std::uint8_t* flushOutput(std::uint8_t* end);
    void flushOutput() { sink_.next = flushOutput(sink_.next); }
    // Hands on the bytes before keep and moves the rest to the buffer's start.
    void flushOutputBefore(std::uint8_t* keep);
    // The output goes to this storage during a pass, else to a small one.
    void attachOutput(std::uint8_t* data, int capacity);
    void detachOutput();

    // Where the buffer's bytes go: a front end writes them out.
    virtual void writeBlock(const std::uint8_t* data, int count) = 0;
    // Whether the output has failed: a pass stops at the first block after
    // which it has.
    virtual bool outputFailed() { return false; }
    // outputFailed as the last flush found it.
    bool outputHasFailed() const { return outputFailed_; }

protected:
    bool outputFailed_ = false;  // outputFailed held after a flush

private:
    OutputSink sink_;
    std::array<std::uint8_t, 2 * maxCharBytes> spare_{};
};

// Encoders read the settings through the Codec, not its CodecSettings base:
// the base lies after the vtable pointer, and passing it would cost the
// loops that call them an address adjustment each time.
using OutputEncoder = std::uint8_t* (*)(const Codec&, std::uint8_t* out, CharCode, ShiftState&);

// 〓, the geta mark, as an EUC cell: the substitute in every output code.
inline constexpr CharCode substituteCode = 0xA2AE;

// The substitute, in place of a character that the output cannot carry or
// an input that is no character; the pass counts each one.
inline CharCode substitute(ShiftState& shift) {
    ++shift.writer.substitutes;
    return substituteCode;
}

}  // namespace zekt
