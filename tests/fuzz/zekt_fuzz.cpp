// libFuzzer target: one conversion pass over the input, with every setting
// drawn from its first four bytes. Besides the sanitizers it checks what
// must hold for any input: the results and detected values a pass may give,
// an output bounded by the input and well-formed when it is UTF-8, UTF-8
// kept as read and every substitute counted when it goes to UTF-8, the
// block path (block reads, shortcuts) giving exactly what the plain
// per-byte path gives at several block sizes and read sizes, and, once the
// input code no longer depends on detection, the same outcome whatever the
// block size and the same detection in check mode as in conversion.
#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <span>
#include <string>
#include <string_view>

#include "check_text.h"
#include "option_words.h"
#include "streaming_conversion.h"
#include "zekt/zekt.h"

namespace {

using zekt::CodeKind;
using zekt::DetectReport;
using zekt::JisMode;
using zekt::ReturnKind;

#define FUZZ_CHECK(condition)                                                  \
    do {                                                                       \
        if (!(condition)) {                                                    \
            std::fprintf(stderr, "zekt_fuzz: check failed: %s\n", #condition); \
            std::abort();                                                      \
        }                                                                      \
    } while (false)

// A pass's settings: the codec's and check mode.
struct Settings : zekt::CodecSettings {
    bool checkOnly = false;
};

constexpr std::size_t kHeaderSize = 4;
using Header = std::span<const std::uint8_t, kHeaderSize>;

// Byte 0: output code, input code, check mode, binary check.
// Byte 1: the three JIS modes, controls before escapes, the ASCII exchange.
// Byte 2: the kana and machine-dependent exchanges, line end, byte order
// mark, Windows mapping, UTF-16 order from the mark, the JIS X 0213 forms
// of the legacy codes in and out. Byte 3: a block size of 1..255 (0 keeps
// 1024).
void applySettings(Settings& conv, Header header) {
    constexpr std::array asciiModes{JisMode::ASCII, JisMode::ROMAJI, JisMode::NEC, JisMode::ASCII};
    constexpr std::array kanaModes{JisMode::KANA7, JisMode::KANA8, JisMode::SISO, JisMode::KANA7};
    constexpr std::array kanjiModes{JisMode::KANJI1978, JisMode::KANJI1983, JisMode::NEC, JisMode::KANJI1983};
    const int a = header[0], b = header[1], c = header[2];
    conv.outputCode = static_cast<CodeKind>((a & 7) % zekt::codeKindCount);
    conv.inputCode = static_cast<CodeKind>(((a >> 3) & 7) % zekt::codeKindCount);
    conv.checkOnly = (a & 0x40) != 0;
    conv.binaryCheck = (a & 0x80) == 0;
    conv.jisAsciiMode = asciiModes[b & 3];
    conv.jisKanaMode = kanaModes[(b >> 2) & 3];
    conv.jisKanjiMode = kanjiModes[(b >> 4) & 3];
    conv.escapeBeforeControls = (b & 0x40) == 0;
    conv.exchangeAscii = (b & 0x80) != 0;
    conv.exchangeKana = (c & 1) != 0;
    conv.exchangeWindows = (c & 2) != 0;
    conv.outputReturn = static_cast<ReturnKind>((c >> 2) & 3);
    conv.outputBom = (c & 0x10) != 0;
    conv.windowsUnicode = (c & 0x20) != 0;
    conv.inputMarkDecides = (c & 0x40) != 0;
    conv.detectionBlockSize = header[3] == 0 ? 1024 : header[3];
    const bool x0213 = (c & 0x80) != 0;
    const auto legacy = [](CodeKind k) {
        return k == CodeKind::SJIS || k == CodeKind::EUC || k == CodeKind::JIS;
    };
    conv.inputJisX0213 = x0213 && legacy(conv.inputCode);
    conv.outputJisX0213 = x0213 && legacy(conv.outputCode);
}

struct Outcome {
    int result = -1;
    std::string output;
    CodeKind code = CodeKind::NOT_TEXT;
    ReturnKind ret = ReturnKind::NONE;
    DetectReport report;
    std::int64_t substitutes = 0;

    bool operator==(const Outcome&) const = default;
};

struct PassOptions {
    int detectionBlockSize = 0;  // 0: the header's
    bool toggleCheck = false;
    bool blockPath = false;  // else the plain path, every byte through the decoder
    unsigned pieceSeed = 0;  // 0: the input in one piece, else uneven pieces as from a pipe
    zekt::VectorLevel vectorLevel = zekt::VectorLevel::SSE2;  // the block path's
};

// The next of a run of pseudo-random numbers.
unsigned nextRandom(unsigned& seed) { return seed = seed * 1103515245u + 12345u; }

// The library's conversion fed in pieces into room of uneven sizes, as a
// caller of the API may (pieceSeed 0: all at once into ample room): what it
// writes and finds.
Outcome stream(const Settings& settings, std::span<const std::uint8_t> text, unsigned pieceSeed) {
    zekt::StreamingConversion streaming(settings, settings.checkOnly);
    std::array<std::uint8_t, 1024> room{};
    Outcome outcome;
    unsigned seed = pieceSeed | 1;
    for (std::size_t at = 0;;) {
        nextRandom(seed);
        const std::size_t piece =
            pieceSeed == 0 ? text.size() - at : std::min<std::size_t>((seed >> 16) % 3000, text.size() - at);
        const std::size_t roomSize = pieceSeed == 0 ? room.size() : 1 + (seed >> 8) % 97;
        const bool last = at + piece == text.size();
        std::size_t taken = 0, written = 0;
        const auto status =
            streaming.convert(text.subspan(at, piece), taken, {room.data(), roomSize}, written, last);
        outcome.output.append(room.data(), room.data() + written);
        at += taken;
        if (status == zekt::StreamingConversion::Status::NOT_TEXT) {
            outcome.result = zekt::NOT_TEXT;
            return outcome;
        }
        FUZZ_CHECK(taken == piece || status == zekt::StreamingConversion::Status::OUTPUT_FULL);
        FUZZ_CHECK(status == zekt::StreamingConversion::Status::INPUT_EMPTY ||
                   status == zekt::StreamingConversion::Status::OUTPUT_FULL);
        if (status == zekt::StreamingConversion::Status::INPUT_EMPTY && last) break;
    }
    outcome.result = zekt::DONE;
    outcome.code = streaming.detectedCode();
    outcome.ret = streaming.detectedReturn();
    outcome.report = streaming.report();
    outcome.substitutes = streaming.substitutes();
    FUZZ_CHECK(streaming.checkText() == zekt::checkText(outcome.code, outcome.ret, outcome.report));
    return outcome;
}

Outcome runPass(Header header, std::span<const std::uint8_t> text, PassOptions options) {
    Settings settings;
    applySettings(settings, header);
    if (options.detectionBlockSize > 0) settings.detectionBlockSize = options.detectionBlockSize;
    if (options.toggleCheck) settings.checkOnly = !settings.checkOnly;
    settings.perByte = !options.blockPath;
    settings.vectorLevel = options.vectorLevel;
    return stream(settings, text, options.pieceSeed);
}

// Option words as callers of the C API write them.
constexpr const char* apiOptions[] = {
    "",
    "-u8 -lf",
    "-e -Z -X",
    "-j -jSISO -xNOWIN",
    "-s -xMS -cr",
    "-u16 -nb",
    "-U8 -s",
    "-c -U16",
    "-nk -lf",
    "-E -u8bom",
    "-J -jNEC -jKANA8",
    "-U16BE -u8",
    "-S -u16be -crlf",
    "-S2004 -e2004",
    "-U8 -j2004 -jSISO",
    "-E2004 -u8",
};

// The public C API, fed in uneven pieces into uneven room, gives what the
// pass gives with the same words: bytes, refusal, substitutes, check text.
void checkPublicApi(Header header, std::span<const std::uint8_t> text) {
    const char* words = apiOptions[header[1] % std::size(apiOptions)];
    Settings settings;
    bool check = false;
    FUZZ_CHECK(zekt::applyOptionWords(words, settings, check));
    settings.checkOnly = check;
    const Outcome expected = stream(settings, text, 0);
    zekt_converter* c = nullptr;
    FUZZ_CHECK(zekt_converter_new(words, &c) == ZEKT_OK);
    std::string output;
    std::array<unsigned char, 200> room{};
    unsigned seed = static_cast<unsigned>(header[2] << 8 | header[3]) | 1;
    int status = ZEKT_OUTPUT_FULL;
    for (std::size_t at = 0; status != ZEKT_NOT_TEXT;) {
        nextRandom(seed);
        const std::size_t piece = std::min<std::size_t>((seed >> 16) % 2500, text.size() - at);
        const bool last = at + piece == text.size();
        std::size_t taken = 0, written = 0;
        status = zekt_convert(c, text.data() + at, piece, &taken, room.data(), 1 + (seed >> 8) % room.size(),
                              &written, last);
        output.append(room.data(), room.data() + written);
        at += taken;
        if (status == ZEKT_INPUT_EMPTY && last) break;
    }
    FUZZ_CHECK(output == expected.output);
    FUZZ_CHECK((status == ZEKT_NOT_TEXT) == (expected.result == zekt::NOT_TEXT));
    if (status != ZEKT_NOT_TEXT) {
        FUZZ_CHECK(zekt_substitutes(c) == static_cast<unsigned long long>(expected.substitutes));
        std::string line(zekt_check_text(c, nullptr, 0), '\0');
        zekt_check_text(c, line.data(), line.size() + 1);
        FUZZ_CHECK(line == zekt::checkText(expected.code, expected.ret, expected.report));
    }
    zekt_converter_free(c);
}

// The well-formed UTF-8 byte sequences, as the Unicode Standard tables
// them: the first byte's range, the second's, and how many follow it.
struct Utf8Row {
    unsigned first, last, secondLow, secondHigh;
    std::size_t more;
};
constexpr Utf8Row utf8Rows[] = {
    {0x00, 0x7F, 0, 0, 0},       {0xC2, 0xDF, 0x80, 0xBF, 1}, {0xE0, 0xE0, 0xA0, 0xBF, 2},
    {0xE1, 0xEC, 0x80, 0xBF, 2}, {0xED, 0xED, 0x80, 0x9F, 2}, {0xEE, 0xEF, 0x80, 0xBF, 2},
    {0xF0, 0xF0, 0x90, 0xBF, 3}, {0xF1, 0xF3, 0x80, 0xBF, 3}, {0xF4, 0xF4, 0x80, 0x8F, 3},
};

bool isWellFormedUtf8(const std::string& text) {
    const auto byte = [&](std::size_t k) { return static_cast<unsigned char>(text[k]); };
    for (std::size_t i = 0; i < text.size();) {
        const Utf8Row* row = std::find_if(std::begin(utf8Rows), std::end(utf8Rows), [&](const Utf8Row& r) {
            return byte(i) >= r.first && byte(i) <= r.last;
        });
        if (row == std::end(utf8Rows) || text.size() - i <= row->more) return false;
        for (std::size_t k = 1; k <= row->more; ++k) {
            const unsigned low = k == 1 ? row->secondLow : 0x80, high = k == 1 ? row->secondHigh : 0xBF;
            if (byte(i + k) < low || byte(i + k) > high) return false;
        }
        i += row->more + 1;
    }
    return true;
}

bool isWellFormedUtf16(const std::string& text, bool bigEndian) {
    if (text.size() % 2 != 0) return false;
    bool highOpen = false;
    for (std::size_t i = 0; i < text.size(); i += 2) {
        const auto first = static_cast<unsigned char>(text[i]),
                   second = static_cast<unsigned char>(text[i + 1]);
        const unsigned unit = bigEndian ? first << 8 | second : second << 8 | first;
        const bool high = unit >= 0xD800 && unit <= 0xDBFF, low = unit >= 0xDC00 && unit <= 0xDFFF;
        if (low != highOpen) return false;
        highOpen = high;
    }
    return !highOpen;
}

bool writtenAsRead(const Settings& settings) {
    return !settings.checkOnly && settings.outputCode == CodeKind::AS_READ;
}
bool rewritesCharacters(const Settings& settings) {
    return settings.exchangeAscii || settings.exchangeKana || settings.exchangeWindows;
}

// The code a forced input reads as: with the mark to decide, either order
// of UTF-16.
bool readsAsForced(const Settings& settings, CodeKind code) {
    if (settings.inputMarkDecides && zekt::isUtf16(settings.inputCode)) return zekt::isUtf16(code);
    return code == settings.inputCode;
}

void checkOutcome(const Settings& settings, std::size_t textSize, const Outcome& o) {
    FUZZ_CHECK(o.result == 0 || o.result == 2);
    if (o.result == 2)
        FUZZ_CHECK(settings.binaryCheck && (settings.checkOnly || settings.outputCode != CodeKind::AS_READ));
    if (settings.checkOnly) FUZZ_CHECK(o.output.empty());
    // The worst expansion is a machine-dependent character spelled as kana
    // that each need a shift: a few dozen bytes for two input bytes.
    FUZZ_CHECK(o.output.size() <= 24 * textSize + 6);
    if (settings.outputCode == CodeKind::UTF8) FUZZ_CHECK(isWellFormedUtf8(o.output));
    if (zekt::isUtf16(settings.outputCode))
        FUZZ_CHECK(isWellFormedUtf16(o.output, settings.outputCode == CodeKind::UTF16BE));
    if (o.result != 0) return;
    FUZZ_CHECK(o.code >= CodeKind::ASCII && o.code <= CodeKind::UTF16BE);
    FUZZ_CHECK(o.ret >= ReturnKind::NONE && o.ret <= ReturnKind::CRLF);
    if (settings.inputCode != CodeKind::DETECT) FUZZ_CHECK(readsAsForced(settings, o.code));
    if (writtenAsRead(settings) && !rewritesCharacters(settings)) {
        FUZZ_CHECK(o.ret == ReturnKind::NONE);
        FUZZ_CHECK(o.report == DetectReport{});
    }
    if (textSize == 0) FUZZ_CHECK(o.output.empty());
}

// -nk without an exchange: every byte as read, only line ends changed as
// asked (in UTF-16 as code units, which this check leaves to the tests).
void checkAsRead(const Settings& settings, std::string_view text, const Outcome& o) {
    if (o.result != 0 || !writtenAsRead(settings) || rewritesCharacters(settings)) return;
    if (settings.outputReturn == ReturnKind::NONE) FUZZ_CHECK(o.output == text);
    if (zekt::isUtf16(o.code)) return;
    const auto withoutLineEnds = [](std::string_view s) {
        std::string kept(s);
        std::erase_if(kept, [](char c) { return c == '\r' || c == '\n'; });
        return kept;
    };
    FUZZ_CHECK(withoutLineEnds(o.output) == withoutLineEnds(text));
}

std::size_t occurrences(std::string_view text, std::string_view piece) {
    std::size_t n = 0;
    for (auto at = text.find(piece); at != std::string_view::npos; at = text.find(piece, at + 1)) ++n;
    return n;
}

// UTF-8 to UTF-8 with nothing to rewrite: well-formed text comes out as it
// went in (but a NUL, and the mark at the start), and every substitute
// that was not in the input was counted.
void checkUtf8KeptAsRead(const Settings& settings, std::string_view text, const Outcome& o) {
    const bool rewrites = settings.exchangeAscii || settings.exchangeKana || settings.exchangeWindows ||
                          settings.outputReturn != ReturnKind::NONE || settings.outputBom;
    if (o.result != 0 || settings.checkOnly || rewrites || settings.inputCode != CodeKind::UTF8 ||
        settings.outputCode != CodeKind::UTF8)
        return;
    constexpr std::string_view geta = "\xE3\x80\x93";
    FUZZ_CHECK(occurrences(o.output, geta) ==
               occurrences(text, geta) + static_cast<std::size_t>(o.substitutes));
    if (!isWellFormedUtf8(std::string(text))) return;
    std::string expected(text.starts_with("\xEF\xBB\xBF") ? text.substr(3) : text);
    std::erase(expected, '\0');
    FUZZ_CHECK(o.output == expected);
}

// How much a refused pass wrote depends on the block size.
bool sameSuccess(const Outcome& a, const Outcome& b) {
    return a.result == b.result && (a.result != 0 || a == b);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < kHeaderSize) return 0;
    const Header header(data, kHeaderSize);
    const std::span<const std::uint8_t> text(data + kHeaderSize, size - kHeaderSize);

    Settings settings;
    applySettings(settings, header);
    const Outcome first = runPass(header, text, {});
    checkOutcome(settings, text.size(), first);
    checkUtf8KeptAsRead(settings, {reinterpret_cast<const char*>(text.data()), text.size()}, first);
    checkAsRead(settings, {reinterpret_cast<const char*>(text.data()), text.size()}, first);
    checkPublicApi(header, text);

    // The block path gives exactly what the plain path gives, whatever the
    // block size, however the reads come, and at every vector width the
    // machine has.
    const int widest = static_cast<int>(zekt::machineVectorLevel());
    for (const int detectionBlockSize : {0, 1, 7, 1024}) {
        const Outcome plain = detectionBlockSize == 0 ? first : runPass(header, text, {detectionBlockSize});
        const auto seed = static_cast<unsigned>(size * 31 + static_cast<std::size_t>(detectionBlockSize));
        for (int level = 0; level <= widest; ++level) {
            const auto vectorLevel = static_cast<zekt::VectorLevel>(level);
            FUZZ_CHECK(plain == runPass(header, text, {detectionBlockSize, false, true, seed, vectorLevel}));
        }
    }

    // With the code fixed, blocks only split the stream: nothing may change.
    const bool scans = !writtenAsRead(settings) || rewritesCharacters(settings);
    if (settings.inputCode == CodeKind::DETECT && scans) return 0;
    const Outcome split = runPass(header, text, {settings.detectionBlockSize == 1 ? 7 : 1});
    FUZZ_CHECK(sameSuccess(first, split));

    // A forced code: the check sees exactly what the conversion's scan saw.
    if (settings.inputCode == CodeKind::DETECT || settings.outputCode == CodeKind::AS_READ) return 0;
    const Outcome other = runPass(header, text, {0, true});
    FUZZ_CHECK(other.result == first.result);
    if (first.result == 0) {
        FUZZ_CHECK(other.code == first.code);
        FUZZ_CHECK(other.ret == first.ret);
        FUZZ_CHECK(other.report == first.report);
    }
    return 0;
}
