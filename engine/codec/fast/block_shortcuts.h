// Shortcuts of the block path: runs and characters that the scan and the
// conversion can take whole, with exactly the effect that decodeByte and
// writeChar would have byte by byte.
#pragma once

#include "fast/kernels.h"
#include "input_converters.h"

namespace zekt {

// The first byte at or after p that is not ASCII (0x00-0x7F), or that is
// not printable (0x20-0x7E); end if there is none.
const std::uint8_t* skipAscii(const std::uint8_t* p, const std::uint8_t* end);
const std::uint8_t* skipPrintable(const std::uint8_t* p, const std::uint8_t* end);

// From a point where no UTF-8 sequence is open: passes over chunks of
// sixteen bytes that are well-formed UTF-8 of the common kinds (ASCII, two
// bytes, three after E1-EC or EE-EF), setting wide if one held the second
// byte of a three-byte sequence; stops where the table must decide. open
// says what the last chunk left open: 0 nothing, 1 one continuation, 3 the
// second byte of a three-byte sequence and one more.
const std::uint8_t* skipUtf8Vectors(const std::uint8_t* p, const std::uint8_t* end, int& open, bool& wide);
// The same, thirty-two bytes at a time first (AVX2).
const std::uint8_t* skipUtf8Wide(const std::uint8_t* p, const std::uint8_t* end, int& open, bool& wide);

// From a point where no UTF-8 sequence is open: passes over chunks of
// sixteen bytes of printable ASCII (and LF if lineFeeds) and well-formed
// UTF-8 of the common kinds, up to the first character of the first chunk
// that is not, or of a sequence the last one leaves open. seen gathers
// whether they held a high byte or a LF.
struct Utf8Text {
    bool high = false;
    bool lineFeed = false;
};
const std::uint8_t* skipUtf8Text(const std::uint8_t* p, const std::uint8_t* end, bool lineFeeds,
                                 Utf8Text& seen);

// Whether any byte could mark the input binary: byte by byte, sixteen
// bytes at a time, thirty-two first.
bool mayMarkBinaryPlain(const std::uint8_t* p, const std::uint8_t* end);
bool mayMarkBinaryVectors(const std::uint8_t* p, const std::uint8_t* end);
bool mayMarkBinaryWide(const std::uint8_t* p, const std::uint8_t* end);

// Whether any byte could set one of the missing flags that only rare bytes
// set (escapes, binary bytes, EUC's and Shift-JIS's own leads): byte by
// byte, sixteen at a time, thirty-two first.
bool anyRareBytePlain(const std::uint8_t* p, const std::uint8_t* end, std::uint32_t missing);
bool anyRareByteVectors(const std::uint8_t* p, const std::uint8_t* end, std::uint32_t missing);
bool anyRareByteWide(const std::uint8_t* p, const std::uint8_t* end, std::uint32_t missing);

// scanBlock's quiet decoding of one block in the given input code.
void scanQuick(const InputBuffer& buffer, CodeKind kind, DecodeState& state, ReturnKind& returnKind,
               DetectReport& report, const Kernels& kernels);

// The block converter from input code in to the converter's output code.
InputConverter quickConverter(CodeKind in, CodeKind out);
// The converter where input or output is a JIS X 0213 code: the block path
// where there is one (and the settings allow it), else the plain way.
InputConverter x0213Converter(const CodecSettings& settings, CodeKind in);

}  // namespace zekt
