// -nk: every byte written as read, in the input's own code; only the line
// ends asked for and the characters an exchange rewrites change.
#include <filesystem>
#include <fstream>
#include <sstream>

#include "output_checks.h"

namespace zekt::testing {
namespace {

std::string readWhole(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

// The samples and the malformed seeds as they are, and the samples in
// every code glibc writes, UTF-16 with and without its mark.
std::vector<std::pair<std::string, std::string>> corpus() {
    std::vector<std::pair<std::string, std::string>> texts;
    for (const char* dir : {ZEKT_SAMPLES_DIR, ZEKT_SEEDS_DIR})
        for (const auto& entry : std::filesystem::directory_iterator(dir))
            if (entry.is_regular_file()) texts.emplace_back(entry.path().filename(), readWhole(entry.path()));
    const std::string utf8 = readWhole(std::filesystem::path(ZEKT_SAMPLES_DIR) / "notice-utf8.txt");
    for (const char* code : {"EUC-JP", "SHIFT_JIS", "ISO-2022-JP", "UTF-16", "UTF-16LE", "UTF-16BE"})
        texts.emplace_back(code, iconvText(code, "UTF-8", utf8).value_or(""));
    return texts;
}

// Each CR LF, CR and LF as one LF, byte by byte (or unit by unit).
std::string lineFeedsOnly(const std::string& text, std::size_t unit) {
    std::string out;
    const auto is = [&](std::size_t at, char c) {
        if (at + unit > text.size() || text[at + (unit == 2 && text[0] == '\xFE' ? 1 : 0)] != c) return false;
        return unit == 1 || text[at + (text[0] == '\xFE' ? 0 : 1)] == '\0';
    };
    const std::string lf = unit == 1           ? "\n"
                           : text[0] == '\xFE' ? std::string("\0\n", 2)
                                               : std::string("\n\0", 2);
    for (std::size_t at = 0; at < text.size();) {
        if (is(at, '\r')) {
            out += lf;
            at += is(at + unit, '\n') ? 2 * unit : unit;
        } else if (is(at, '\n')) {
            out += lf;
            at += unit;
        } else {
            out.append(text, at, unit);
            at += unit;
        }
    }
    return out;
}

TEST(AsRead, EveryTextComesBackAsRead) {
    for (const auto& [name, text] : corpus()) {
        SCOPED_TRACE(name);
        for (const int size : {1, 7, 1024})
            for (const bool perByte : {false, true}) {
                MemoryConverter conv(text);
                conv.detectionBlockSize = size;
                conv.perByte = perByte;
                runOptions(conv, {"-nk", "-nr"});
                EXPECT_EQ(conv.result, 0);
                EXPECT_TRUE(conv.outputBytes == text) << "blocks of " << size;
            }
        // Only UTF-16 with its mark is read as code units.
        const bool units = text.starts_with("\xFF\xFE") || text.starts_with("\xFE\xFF");
        EXPECT_TRUE(convertWith({"-nk", "-lf"}, text) == lineFeedsOnly(text, units ? 2 : 1));
    }
}

// The bytes the decoders used to lose or rewrite, as read.
TEST(AsRead, WhatWasLost) {
    expectVectors({
        {{"-nk", "-nr"}, "A4 F3 A4 A2", "A4 F3 A4 A2"},  // ん: a kana-looking first byte
        {{"-nk", "-nr"}, "61 1B 24 42 24 22 1B 28 42 62", "61 1B 24 42 24 22 1B 28 42 62"},
        {{"-nk", "-nr"}, "FF FE 61 00 E5 65", "FF FE 61 00 E5 65"},
        {{"-nk", "-nr"}, "63 61 66 E9 00 81", "63 61 66 E9 00 81"},
        {{"-nk", "-lf"}, "A4 F3 0D 0A 63 61 66 E9 0D", "A4 F3 0A 63 61 66 E9 0A"},
        {{"-nk"}, "FF FE 61 00 0A 00 E5 65 0D 00", "FF FE 61 00 0D 00 0A 00 E5 65 0D 00 0A 00"},
        {{"-nk", "-cr"}, "FE FF 00 0D 00 0A 65 E5", "FE FF 00 0D 65 E5"},
        {{"-nk", "-U16LE", "-lf"}, "0D 00 0A 00 0D", "0A 00 0D"},  // a last odd byte as read
    });
}

// Rewritten characters in the input's code; in JIS with the sequences that
// bring the input's own set back, so that what follows reads as it did.
TEST(AsRead, ExchangesInTheInputsCode) {
    expectVectors({
        {{"-nk", "-Z", "-X", "-nr"}, "A3 C1 A4 A2 8E B6 8E DE 0D 0A", "41 A4 A2 A5 AC 0D 0A"},
        {{"-nk", "-Z", "-X", "-xNOWIN", "-nr"}, "82 60 87 40 B6 DE 88 9F", "41 28 31 29 83 4B 88 9F"},
        {{"-nk", "-Z", "-X", "-nr"}, "EF BC A1 EF BD B6 EF BE 9E E4 BA 9C", "41 E3 82 AC E4 BA 9C"},
        {{"-nk", "-Z", "-lf"}, "FF FE 21 FF 0D 00 0A 00", "FF FE 41 00 0A 00"},
        {{"-nk", "-S", "-X", "-nr"}, "B6 B7", "83 4A 83 4C"},
        {{"-nk", "-S", "-xNOWIN", "-nr"}, "FA 58 87 8D", "8A 94 96 BE 8E A1"},  // ㈱㍾ as 株明治
        {{"-nk", "-Z", "-X", "-nr"},
         "61 1B 24 42 23 41 24 22 1B 28 42 62",
         "61 1B 24 42 1B 28 42 41 1B 24 42 24 22 1B 28 42 62"},
        // A kana held across the escape after it is written before it.
        {{"-nk", "-X", "-nr"},
         "1B 28 49 36 1B 24 42 30 21 1B 28 42",
         "1B 28 49 1B 24 42 25 2B 1B 28 49 1B 24 42 30 21 1B 28 42"},
        {{"-nk", "-X", "-nr"}, "0E 36 5E 0F", "0E 1B 24 42 25 2C 0E 0F"},
        {{"-nk", "-Z", "-nr"}, "1B 24 40 23 31 1B 28 42", "1B 24 40 1B 28 42 31 1B 24 40 1B 28 42"},
    });
}

// What the JIS output above reads as, by zekt's own reading and by the
// typed text.
TEST(AsRead, JisRewritesReadBack) {
    const std::vector<std::pair<const char*, const char*>> cases = {
        {"61 1B 24 42 1B 28 42 41 1B 24 42 24 22 1B 28 42 62", "aAあb"},
        {"1B 28 49 1B 24 42 25 2B 1B 28 49 1B 24 42 30 21 1B 28 42", "カ亜"},
        {"0E 1B 24 42 25 2C 0E 0F", "ガ"},
    };
    for (const auto& [jis, text] : cases)
        EXPECT_EQ(convertWith({"-J", "-u8", "-nr"}, bytes(jis)), text) << jis;
}

}  // namespace
}  // namespace zekt::testing
