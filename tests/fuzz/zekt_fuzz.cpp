// libFuzzer target: one conversion pass over the input, with every setting
// drawn from its first three bytes. Besides the sanitizers it checks what
// must hold for any input: the results and detected values a pass may give,
// an output bounded by the input, and, once the input code no longer depends
// on detection, the same outcome whatever the block size and the same
// detection in check mode as in conversion.
#include <array>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <span>
#include <string>

#include "converter.h"

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

class FuzzConverter final : public zekt::Converter {
public:
    explicit FuzzConverter(std::span<const std::uint8_t> text) : text_(text) {}

    int readByte() override { return position_ < text_.size() ? text_[position_++] : -1; }
    void writeByte(int c) override { written.push_back(static_cast<char>(c & 0xFF)); }
    void print(int, const char*, ...) override {}
    void printFlag(bool, const char*) override {}

    std::string written;

private:
    std::span<const std::uint8_t> text_;
    std::size_t position_ = 0;
};

constexpr std::size_t kHeaderSize = 3;

// Header byte 0: output code, input code, line end, check mode, binary check.
// Byte 1: the three JIS modes, controls before escapes, the ASCII exchange.
// Byte 2: the kana and machine-dependent exchanges, and a block size of
// 1..63 bytes (0 keeps the usual 1024).
void applySettings(zekt::Converter& conv, std::span<const std::uint8_t, kHeaderSize> header) {
    constexpr std::array asciiModes{JisMode::ASCII, JisMode::ROMAJI, JisMode::NEC, JisMode::ASCII};
    constexpr std::array kanaModes{JisMode::KANA7, JisMode::KANA8, JisMode::SISO, JisMode::KANA7};
    constexpr std::array kanjiModes{JisMode::KANJI1978, JisMode::KANJI1983, JisMode::NEC,
                                    JisMode::KANJI1983};
    const int a = header[0], b = header[1], c = header[2];
    conv.outputCode = static_cast<CodeKind>(a & 3);
    conv.inputCode = static_cast<CodeKind>((a >> 2) & 3);
    conv.outputReturn = static_cast<ReturnKind>((a >> 4) & 3);
    conv.checkOnly = (a & 0x40) != 0;
    conv.binaryCheck = (a & 0x80) == 0;
    conv.jisAsciiMode = asciiModes[b & 3];
    conv.jisKanaMode = kanaModes[(b >> 2) & 3];
    conv.jisKanjiMode = kanjiModes[(b >> 4) & 3];
    conv.escapeBeforeControls = (b & 0x40) == 0;
    conv.exchangeAscii = (b & 0x80) != 0;
    conv.exchangeKana = (c & 1) != 0;
    conv.exchangeWindows = (c & 2) != 0;
    conv.bufferSize = (c >> 2) == 0 ? 1024 : c >> 2;
}

struct Outcome {
    int result = -1;
    std::string output;
    CodeKind code = CodeKind::NOT_TEXT;
    ReturnKind ret = ReturnKind::NONE;
    DetectReport report;
};

Outcome runPass(std::span<const std::uint8_t, kHeaderSize> header,
                std::span<const std::uint8_t> text, int bufferSize, bool toggleCheck) {
    FuzzConverter conv(text);
    applySettings(conv, header);
    if (bufferSize > 0) conv.bufferSize = bufferSize;
    if (toggleCheck) conv.checkOnly = !conv.checkOnly;
    Outcome outcome;
    outcome.result = conv.convert(&outcome.code, &outcome.ret, &outcome.report);
    outcome.output = std::move(conv.written);
    return outcome;
}

void checkOutcome(const zekt::Converter& settings, std::size_t textSize, const Outcome& o) {
    FUZZ_CHECK(o.result == 0 || o.result == 2);
    if (o.result == 2)
        FUZZ_CHECK(settings.binaryCheck &&
                   (settings.checkOnly || settings.outputCode != CodeKind::ASCII));
    if (settings.checkOnly) FUZZ_CHECK(o.output.empty());
    // The worst expansion is a machine-dependent character spelled as kana
    // that each need a shift: a few dozen bytes for two input bytes.
    FUZZ_CHECK(o.output.size() <= 24 * textSize + 3);
    if (o.result != 0) return;
    FUZZ_CHECK(o.code >= CodeKind::ASCII && o.code <= CodeKind::EUC);
    FUZZ_CHECK(o.ret >= ReturnKind::NONE && o.ret <= ReturnKind::CRLF);
    if (settings.inputCode != CodeKind::ASCII) FUZZ_CHECK(o.code == settings.inputCode);
    if (!settings.checkOnly && settings.outputCode == CodeKind::ASCII) {
        FUZZ_CHECK(o.code == settings.inputCode);
        FUZZ_CHECK(o.ret == ReturnKind::NONE);
        FUZZ_CHECK(o.report == DetectReport{});
    }
    if (textSize == 0) FUZZ_CHECK(o.output.empty());
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < kHeaderSize) return 0;
    const std::span<const std::uint8_t, kHeaderSize> header(data, kHeaderSize);
    const std::span<const std::uint8_t> text(data + kHeaderSize, size - kHeaderSize);

    FuzzConverter settings(text);
    applySettings(settings, header);
    const Outcome first = runPass(header, text, 0, false);
    checkOutcome(settings, text.size(), first);

    // With the code fixed, blocks only split the stream: nothing may change.
    const bool scans = settings.checkOnly || settings.outputCode != CodeKind::ASCII;
    if (settings.inputCode == CodeKind::ASCII && scans) return 0;
    const Outcome split = runPass(header, text, settings.bufferSize == 1 ? 7 : 1, false);
    FUZZ_CHECK(split.result == first.result);
    if (first.result == 0) {
        FUZZ_CHECK(split.output == first.output);
        FUZZ_CHECK(split.code == first.code);
        FUZZ_CHECK(split.ret == first.ret);
        FUZZ_CHECK(split.report == first.report);
    }

    // A forced code: the check sees exactly what the conversion's scan saw.
    if (settings.inputCode == CodeKind::ASCII || settings.outputCode == CodeKind::ASCII) return 0;
    const Outcome other = runPass(header, text, 0, true);
    FUZZ_CHECK(other.result == first.result);
    if (first.result == 0) {
        FUZZ_CHECK(other.code == first.code);
        FUZZ_CHECK(other.ret == first.ret);
        FUZZ_CHECK(other.report == first.report);
    }
    return 0;
}
