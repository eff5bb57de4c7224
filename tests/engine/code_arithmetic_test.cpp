// The Shift-JIS <-> EUC arithmetic against glibc's own converters, over all
// of JIS X 0208, and through the whole engine.
#include "code_arithmetic.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "output_checks.h"

namespace zekt::testing {
namespace {

int codeOf(const std::string& two) {
    return static_cast<std::uint8_t>(two[0]) << 8 | static_cast<std::uint8_t>(two[1]);
}

struct Cell {
    CharCode euc;
    int sjis;
};

// Every cell of rows 1-84 that glibc's EUC-JP defines, with glibc's SHIFT_JIS form.
const std::vector<Cell>& jisX0208() {
    static const std::vector<Cell> cells = [] {
        const Iconv toSjis("SHIFT_JIS", "EUC-JP");
        std::vector<Cell> found;
        for (int row = 1; row <= 84; ++row) {
            for (int col = 1; col <= 94; ++col) {
                const CharCode euc = (0xA0 + row) << 8 | (0xA0 + col);
                const auto sjis = toSjis(twoBytes(euc));
                if (sjis && sjis->size() == 2) found.push_back({euc, codeOf(*sjis)});
            }
        }
        return found;
    }();
    return cells;
}

std::string joined(const std::vector<Cell>& cells, int Cell::*field) {
    std::string text;
    for (const Cell& cell : cells) text += twoBytes(cell.*field);
    return text;
}

TEST(CodeArithmetic, GlibcDefinesAllOfJisX0208) {
    // JIS X 0208:1990 has 6879 characters; fewer means the oracle is broken.
    ASSERT_EQ(jisX0208().size(), 6879u);
}

TEST(CodeArithmetic, EucToSjisAgreesWithGlibc) {
    for (const Cell& cell : jisX0208())
        EXPECT_EQ(eucToSjis(cell.euc), cell.sjis) << "EUC " << hex(twoBytes(cell.euc));
}

TEST(CodeArithmetic, SjisToEucAgreesWithGlibc) {
    const Iconv toEuc("EUC-JP", "SHIFT_JIS");
    int defined = 0;
    for (int lead = 0x81; lead <= 0xEF; ++lead) {
        if (lead == 0xA0) lead = 0xE0;  // 0xA1-0xDF are single-byte kana
        for (int trail = 0x40; trail <= 0xFC; ++trail) {
            const int sjis = lead << 8 | trail;
            const auto euc = toEuc(twoBytes(sjis));
            if (!euc || euc->size() != 2) continue;
            ++defined;
            EXPECT_EQ(sjisToEuc(sjis), codeOf(*euc)) << "Shift-JIS " << hex(twoBytes(sjis));
        }
    }
    EXPECT_EQ(defined, 6879);
}

TEST(CodeArithmetic, SjisToEucUndoesEucToSjisOnEveryPair) {
    for (int e1 = 0xA1; e1 <= 0xFE; ++e1) {
        for (int e2 = 0xA1; e2 <= 0xFE; ++e2) {
            const CharCode euc = e1 << 8 | e2;
            ASSERT_EQ(sjisToEuc(eucToSjis(euc)), euc) << hex(twoBytes(euc));
        }
    }
}

TEST(CodeArithmetic, EngineRoundTripsJisX0208) {
    const std::string euc = joined(jisX0208(), &Cell::euc);
    const std::string sjis = joined(jisX0208(), &Cell::sjis);

    EXPECT_EQ(convertWith({"-E", "-s"}, euc), sjis);
    EXPECT_EQ(convertWith({"-S", "-e"}, sjis), euc);
    EXPECT_EQ(convertWith({"-e"}, sjis), euc);

    const std::string jis = convertWith({"-E", "-j"}, euc);
    EXPECT_EQ(jis, Iconv("ISO-2022-JP", "EUC-JP")(euc));
    EXPECT_EQ(convertWith({"-J", "-e"}, jis), euc);
    EXPECT_EQ(convertWith({"-e"}, jis), euc);
}

// Arithmetic on pairs outside JIS X 0208 is not checked; the writers take
// the result apart bytewise, so nothing fails and every byte is accounted for.
TEST(CodeArithmetic, OutOfRangePairs) {
    // FF 4A is an EUC pair only by the Shift-JIS rule; its trail goes below 0.
    expectAtEverySplit({"-s"}, "FE A1 FF 4A", "EF 9F FF E9");
    expectAtEverySplit({"-E", "-s"}, "FE A1 FF 4A", "EF 9F FF E9");

    // A 7-bit pair read as Shift-JIS gives a negative CharCode, which the
    // encoders treat as a single byte: its low byte comes out.
    static_assert(sjisToEuc(0x3021) < 0 && (sjisToEuc(0x3021) & 0xFF) == 0x82);
    for (const char* out : {"-s", "-e", "-j"})
        expectAtEverySplit({"-S", out}, "1B 24 42 30 21 1B 28 42", "82");
    expectAtEverySplit({"-S", "-e", "-X", "-Z", "-xNOWIN"}, "1B 24 42 30 21 1B 28 42", "82");
}

TEST(CodeArithmetic, EverySevenBitPairReadAsSjisGivesOneOrTwoBytes) {
    std::string input = bytes("1B 24 42");
    for (int lead = 0x21; lead <= 0x7E; ++lead)
        for (int trail = 0x21; trail <= 0x7E; ++trail) input += twoBytes(lead << 8 | trail);
    const std::size_t pairs = 94 * 94;
    for (const char* out : {"-s", "-e", "-j"}) {
        const std::size_t size = convertWith({"-S", out, "-X", "-Z", "-xNOWIN"}, input).size();
        EXPECT_GE(size, pairs) << out;
        EXPECT_LE(size, 2 * pairs + 64) << out;  // room for JIS escapes
    }
}

}  // namespace
}  // namespace zekt::testing
