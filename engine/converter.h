// The conversion engine: the Converter object, its settings, and the types
// that carry characters from the input side to the output side.
#pragma once

#include <array>
#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>

#if defined(__GNUC__)
#define ZEKT_PRINTF(fmt, first) __attribute__((format(printf, fmt, first)))
#else
#define ZEKT_PRINTF(fmt, first)
#endif

namespace zekt {

// As a setting, ASCII means "detect" (input) or "keep as read" (output).
enum class CodeKind : int { ASCII = 0, JIS = 1, SJIS = 2, EUC = 3, NOT_TEXT = 4 };

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
};

constexpr int index(CodeKind kind) { return static_cast<int>(kind); }
constexpr int index(ReturnKind kind) { return static_cast<int>(kind); }

// A character on its way to the output, in EUC-based form: 0x01-0xFF single
// bytes, 0x0D0A CR LF, 0x8EA1-0x8EDF half-width katakana, 0xA1A1-0xFEFE
// two-byte characters, 0x8FA1A1-0x8FFEFE JIS X 0212. Arithmetic on malformed
// input may leave these ranges (even go negative); every path copes.
using CharCode = std::int32_t;

// What decodeByte makes of one byte: 0 nothing yet, else a byte, a line end,
// or a pair/triple exactly as read.
using RawCode = std::int32_t;

// Bytes held by decodeByte between calls; all zero when nothing is held.
struct DecodeState {
    int held = 0;        // CR, ESC, a first byte, an escape's 2nd byte, or the byte after SS3
    int heldPrefix = 0;  // ESC or '$' inside an escape sequence, SS3 inside an EUC triple
    int heldEscape = 0;  // ESC while ESC $ ( is in progress
};

// JIS modes in force and the character the kana exchange holds back.
struct ShiftState {
    CharCode pendingChar = 0;
    JisMode inMode = JisMode::ASCII;
    JisMode outMode = JisMode::ASCII;
};

// What the input showed; never cleared during a pass.
struct DetectReport {
    bool eightBit = false;
    bool binary = false;
    bool jis = false;
    bool ascii = false;
    bool romaji = false;
    bool kana7 = false;
    bool jisKana8 = false;
    bool kanaSiSo = false;
    bool jis1978 = false;
    bool jis1983 = false;
    bool nec = false;
    bool jisEx1990 = false;
    bool jisUnknown = false;
    bool sjisLead = false;
    bool kana8 = false;
    bool izon = false;
    bool eucOnly = false;
    bool ss2Kana = false;
    bool ss3Kanji = false;

    bool operator==(const DetectReport&) const = default;
};

// One block of input; the storage is the pass's single allocation.
struct InputBuffer {
    std::unique_ptr<std::uint8_t[]> data;
    int count = 0;
    int capacity = 0;
};

struct OptionEntry {
    const char* name;  // nullptr ends a table
    std::int32_t value;
};

struct ErrorEntry {
    std::int32_t code;  // 0 ends a table
    const char* message;
};

inline constexpr std::array<const char*, 4> codeNames{"ASCII", "JIS", "SJIS", "EUC"};
inline constexpr std::array<const char*, 4> returnNames{"[No RET]", "[LF]", "[CR]", "[CRLF]"};

// The engine object. A front end derives from it, provides the four byte and
// text operations, and calls run() with a command line.
class Converter {
public:
    Converter() = default;
    Converter(const Converter&) = delete;
    Converter& operator=(const Converter&) = delete;

    // Slot 0: next input byte 0..255, or -1 at the end (or on a read error).
    virtual int readByte() = 0;
    // Slot 1: writes the low 8 bits of c.
    virtual void writeByte(int c) = 0;
    // Slot 2: stream 1 is the error stream, anything else normal output.
    virtual void print(int stream, const char* format, ...) ZEKT_PRINTF(3, 4) = 0;
    // Slot 3: prints the word and a blank on the normal output if flag is set.
    virtual void printFlag(bool flag, const char* word) = 0;
    // Slot 4: detail words of a check line.
    virtual void printDetails(CodeKind code, const DetectReport& report);
    // Slot 5: opens, converts or checks, reports and closes one input.
    // A null name stands for the standard stream.
    virtual void processFile(bool check, const char* inputName, const char* outputName);
    // Slot 6: applies an option of the value groups; false if none holds it.
    virtual bool matchOption(const char* name);

    virtual ~Converter();

    // Walks a command line (element 0 is skipped); 0, or -1 on an option error.
    int run(int argc, const char* const* argv);

    // Settings, with the defaults both programs use.
    std::int32_t bufferSize = 1024;
    CodeKind inputCode = CodeKind::ASCII;
    CodeKind outputCode = CodeKind::SJIS;
    ReturnKind outputReturn = ReturnKind::CRLF;
    JisMode jisAsciiMode = JisMode::ASCII;
    JisMode jisKanaMode = JisMode::KANA7;
    JisMode jisKanjiMode = JisMode::KANJI1983;
    bool escapeBeforeControls = true;
    bool checkOnly = false;
    bool binaryCheck = true;
    bool exchangeAscii = false;
    bool exchangeKana = false;
    bool exchangeWindows = false;
    CharCode substituteChar = 0xA2AE;
    std::FILE* input = nullptr;
    std::FILE* output = nullptr;

    // Streams of one file. Results are fileErrors codes, 0 on success.
    int openInput(const char* name);
    int openOutput(const char* name);
    int closeInput();
    // commit = false abandons a named output: the file it would replace stays.
    int closeOutput(bool commit = true);
    static void setBinaryMode(std::FILE* stream, bool binary);

    // One pass over the open input: 0 done, 1 no memory, 2 not text.
    // The out-places may be null; they are written only on success.
    int convert(CodeKind* detectedCode, ReturnKind* detectedReturn, DetectReport* report);

    // Input side.
    int fillBlock(InputBuffer& buffer);
    RawCode decodeByte(int byte, CodeKind inputKind, ReturnKind& returnKind, DecodeState& state,
                       DetectReport& report, ShiftState& shift, bool quiet);
    void scanBlock(const InputBuffer& buffer, DecodeState& state, CodeKind& kind,
                   ReturnKind& returnKind, DetectReport& report);

    // Output side: the single way a character reaches the output.
    void writeChar(CharCode c, ShiftState& shift);
    void putCodeBytes(std::int32_t v);
    void writeSequence(std::int32_t sequence) { putCodeBytes(sequence); }
    // The two bytes of v: (v >> 8) & 0xFF, then v & 0xFF.
    void putTwoBytes(std::int32_t v) {
        writeByte((v >> 8) & 0xFF);
        writeByte(v & 0xFF);
    }

private:
    // A named output is written to outputTemp_ and renamed onto outputTarget_
    // only when closed with commit; both are empty for the standard output.
    std::string outputTarget_;
    std::string outputTemp_;
};

using OutputEncoder = void (*)(Converter&, CharCode, ShiftState&);
using InputConverter = void (*)(Converter&, const InputBuffer&, DecodeState&, ShiftState&);

}  // namespace zekt
