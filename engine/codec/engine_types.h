// The types that carry bytes and characters through the engine, and its
// table rows.
#pragma once

#include <array>
#include <cstdint>

#include "control_codes.h"

namespace zekt {

// As a setting, ASCII means "detect" (input) or "keep as read" (output).
// NOT_TEXT only ever marks input refused by the binary check.
enum class CodeKind : int {
    ASCII = 0,
    JIS = 1,
    SJIS = 2,
    EUC = 3,
    UTF8 = 4,
    UTF16LE = 5,
    UTF16BE = 6,
    NOT_TEXT = 7,
    DETECT = ASCII,   // as the input code: none forced, detect it
    AS_READ = ASCII,  // as the output code: the code as read, not converted (-nk)
};
inline constexpr int codeKindCount = 7;  // the codes a table indexed by CodeKind holds

constexpr bool isUtf16(CodeKind kind) { return kind == CodeKind::UTF16LE || kind == CodeKind::UTF16BE; }
// The codes that carry every character: between them nothing is mapped.
constexpr bool isUnicode(CodeKind kind) { return kind == CodeKind::UTF8 || isUtf16(kind); }

// As a setting, NONE means "keep line ends as read".
enum class ReturnKind : int { NONE = 0, LF = 1, CR = 2, CRLF = 3 };

// One numbering for the JIS output settings and for the shift state in force
// in the input and the output. EX1990 only ever occurs as a shift state.
enum class JisMode : int {
    ASCII = 1,
    ROMAJI = 2,
    KANA7 = 3,
    KANA8 = 4,
    SISO = 5,
    KANJI1978 = 6,
    KANJI1983 = 7,
    NEC = 8,
    EX1990 = 9,
    X0213_PLANE1 = 10,  // JIS X 0213: only ever a shift state
    X0213_PLANE2 = 11,
};

constexpr int index(CodeKind kind) { return static_cast<int>(kind); }
constexpr int index(ReturnKind kind) { return static_cast<int>(kind); }
constexpr bool isKanjiMode(JisMode m) { return m >= JisMode::KANJI1978 && m <= JisMode::X0213_PLANE2; }
constexpr bool isX0213Mode(JisMode m) { return m == JisMode::X0213_PLANE1 || m == JisMode::X0213_PLANE2; }

// A character on its way to the output, in EUC-based form: 0x01-0xFF single
// bytes, 0x0D0A CR LF, 0x8EA1-0x8EDF half-width katakana, 0xA1A1-0xFEFE
// two-byte characters, 0x8FA1A1-0x8FFEFE JIS X 0212. Arithmetic on malformed
// input may leave these ranges (even go negative); every path copes.
using CharCode = std::int32_t;

// What decodeByte makes of one byte: 0 nothing yet, else a byte, a line end,
// a pair/triple exactly as read, or a UTF-8 character (utf8Char).
using RawCode = std::int32_t;

// UTF-8 input: a code point travels as utf8Char | cp. A piece of input that
// makes no character (an ill-formed UTF-8 sequence, a lead byte or a single
// shift that nothing completed) travels as illFormed, which every input
// converter writes as the substitute; neither collides with a legacy RawCode.
inline constexpr RawCode utf8Char = 0x1000000;
inline constexpr RawCode illFormed = 0x2000000;

// Characters that no EUC form carries into every output travel as
// themselves, above every EUC form: a code point read from UTF-8
// (unicodeChar | cp), or a code page 932 code of Shift-JIS input from
// 0xF040 up (windowsChar | code). Each encoder decides what they become.
inline constexpr CharCode unicodeChar = utf8Char;
inline constexpr CharCode windowsChar = 0x4000000;
// Before a JIS X 0213 output only: a code that stands for a base and a
// combining mark together (x0213Char | code), joined on the way out.
inline constexpr CharCode x0213Char = 0x8000000;
constexpr bool isCarried(CharCode c) { return c >= unicodeChar; }

// What decodeByte holds between calls: a stage, and the bytes or bits that
// stage keeps. Nothing held is the stage NONE, so that one test finds the
// common case.
struct DecodeState {
    enum class Stage : std::uint8_t {
        NONE,
        HOLDING,           // held: a CR, an ESC, a first byte
        ESCAPE,            // ESC then held, '$' or '('
        FOUR_BYTE_ESCAPE,  // ESC $ (
        TRIPLE,            // SS3 then held (EUC)
        UTF8,              // a sequence: bits so far, needed more, the next one in low..high
    };

    Stage stage = Stage::NONE;
    std::uint8_t held = 0;
    std::uint8_t needed = 0, low = 0, high = 0;
    std::int32_t bits = 0;

    static constexpr DecodeState holding(int byte) {
        return {.stage = Stage::HOLDING, .held = static_cast<std::uint8_t>(byte)};
    }
    static constexpr DecodeState escape(int second) {
        return {.stage = Stage::ESCAPE, .held = static_cast<std::uint8_t>(second)};
    }
    static constexpr DecodeState fourByteEscape() { return {.stage = Stage::FOUR_BYTE_ESCAPE}; }
    static constexpr DecodeState triple(int second) {
        return {.stage = Stage::TRIPLE, .held = static_cast<std::uint8_t>(second)};
    }
    static constexpr DecodeState utf8(int bits, int needed, int low, int high) {
        return {.stage = Stage::UTF8,
                .needed = static_cast<std::uint8_t>(needed),
                .low = static_cast<std::uint8_t>(low),
                .high = static_cast<std::uint8_t>(high),
                .bits = bits};
    }

    constexpr bool empty() const { return stage == Stage::NONE; }
    constexpr bool holdsByte() const { return stage == Stage::HOLDING; }
    constexpr bool holdsLoneCr() const { return holdsByte() && held == CR; }
    constexpr bool holdsLoneEsc() const { return holdsByte() && held == ESC; }
    constexpr bool inEscape() const { return stage == Stage::ESCAPE; }
    constexpr bool inFourByteEscape() const { return stage == Stage::FOUR_BYTE_ESCAPE; }
    constexpr bool inTriple() const { return stage == Stage::TRIPLE; }
    constexpr bool inUtf8Sequence() const { return stage == Stage::UTF8; }
    constexpr int utf8Bits() const { return bits; }
    constexpr int utf8Needed() const { return needed; }
    constexpr bool utf8Allows(int byte) const { return byte >= low && byte <= high; }
    bool operator==(const DecodeState&) const = default;
};

// What a byte showed to stand alone before it, to be written first: a CR
// or an ESC that nothing completed, the bytes of an escape sequence that
// UTF-8 does not know, or a piece that makes no character (illFormed).
struct StandAlone {
    std::array<RawCode, 3> codes{};
    int count = 0;
    constexpr void add(RawCode r) { codes[static_cast<std::size_t>(count++)] = r; }
};

// What a pass keeps between characters, by who owns it: the JIS set the
// input has shifted to (the reading), the JIS set in force in the output
// (the encoders), and the writer's own: the character the kana exchange
// holds back, a byte order mark still to be written before the first byte,
// how many characters it has written as the substitute, and the variation
// selectors it has left out.
struct InputShift {
    JisMode mode = JisMode::ASCII;
};
struct OutputShift {
    JisMode mode = JisMode::ASCII;
};
struct WriterState {
    CharCode heldKana = 0;
    bool markPending = false;
    std::int64_t substitutes = 0;
    // Variation selectors left out of a legacy output, and the output offset
    // at which the last character it has no code for ended (0: the start,
    // where no character comes before a selector).
    std::int64_t selectorsLeftOut = 0;
    std::int64_t uncarriedEnd = 0;
    // The output offset at which a kana that a combining mark may join ended
    // (-1: none), and that kana.
    std::int64_t kanaEnd = -1;
    char32_t kana = 0;
    // Before a JIS X 0213 output: where the last character written began and
    // ended (-1: none that a mark may join), the JIS set in force before it,
    // and its code point.
    std::int64_t baseStart = -1, baseEnd = -1;
    JisMode baseMode = JisMode::ASCII;
    char32_t base = 0;
};
struct ShiftState {
    InputShift input;
    OutputShift output;
    WriterState writer;
};

// What the input can show, each a bit of a DetectReport.
namespace detect {
enum Flag : std::uint32_t {
    EIGHT_BIT = 1u << 0,
    BINARY = 1u << 1,     // a control byte that text does not hold
    JIS = 1u << 2,        // any escape sequence, SI or SO
    ASCII_SEQ = 1u << 3,  // ESC ( B
    ROMAJI_SEQ = 1u << 4,
    KANA7_SEQ = 1u << 5,
    KANA8 = 1u << 6,  // a byte 0xA1-0xDF read alone
    SI_SO = 1u << 7,
    JIS1978_SEQ = 1u << 8,
    JIS1983_SEQ = 1u << 9,
    NEC_SEQ = 1u << 10,  // ESC K or ESC H
    EX1990_SEQ = 1u << 11,
    UNKNOWN_SEQ = 1u << 12,
    SJIS_LEAD = 1u << 13,  // a fresh 0x81-0x9F, or a single shift that only Shift-JIS reads
    IZON = 1u << 14,       // a machine-dependent Shift-JIS pair
    EUC_ONLY = 1u << 15,   // 0xFD or 0xFE
    SS2_KANA = 1u << 16,
    SS3_KANJI = 1u << 17,
    BROKEN = 1u << 18,        // the raw bytes are not well-formed UTF-8
    WIDE = 1u << 19,          // they hold a 3- or 4-byte UTF-8 sequence
    BOM = 1u << 20,           // the input begins with the UTF-8 byte order mark
    SJIS_ONLY = 1u << 21,     // the raw bytes broke EUC's form while Shift-JIS's held
    JISX0213_SEQ = 1u << 22,  // ESC $ ( O, P or Q
};
}  // namespace detect

// What the input showed; never cleared during a pass.
struct DetectReport {
    std::uint32_t flags = 0;

    constexpr bool has(detect::Flag f) const { return (flags & f) != 0; }
    constexpr void set(detect::Flag f) { flags |= f; }

    bool operator==(const DetectReport&) const = default;
};

// While input holds nothing but UTF-8 of two-byte sequences, a verdict
// waits until this many bytes, counted from the first byte from 0x80 up,
// have been read.
inline constexpr std::int64_t utf8Window = 1 << 16;

// Where the bytes stand in the search for Latin text in UTF-8 (detection.cpp).
enum LatinPair : std::uint8_t {
    LATIN_AFTER_OTHER,   // the start, or a byte that is none of these
    LATIN_AFTER_LETTER,  // an ASCII letter
    LATIN_C2,            // C2 or C3, and whether a letter came before it
    LATIN_C2_AFTER_LETTER,
    LATIN_C3,
    LATIN_C3_AFTER_LETTER,
    LATIN_PAIR_READ,  // a pair EUC could also read, waiting for a letter after it
    LATIN_FOUND,
};

// The checks of the raw bytes against the encoding forms, carried across
// blocks while the input code is open; detection.cpp reads the states.
struct FormCheck {
    int utf8 = 0;                          // what the next UTF-8 byte must be; 0: anything
    int startTrails = 0;                   // continuation bytes passed over at the start of the input
    bool startRead = false;                // past them
    int wideSequences = 0;                 // 3- and 4-byte sequences counted after such a start
    LatinPair latin = LATIN_AFTER_OTHER;   // how far Latin text in UTF-8 has been seen
    std::array<std::uint8_t, 2> legacy{};  // EUC and Shift-JIS, read from the first byte and the second
    bool legacyDone = false;               // nothing the legacy forms show can change any more
    std::int64_t firstEightBit = -1;       // input offset of the first byte from 0x80 up
    int eightBitTail = 0;  // bytes from 0x80 up so far, while they all end the input (at most 3); else -1
};

// One block of input, in storage the pass owns.
struct InputBuffer {
    std::uint8_t* data = nullptr;
    int count = 0;
    int capacity = 0;
    std::int64_t start = 0;  // input offset of data[0]
    bool last = false;       // the input ended within this block
};

}  // namespace zekt
