// The Shift-JIS <-> EUC arithmetic against glibc over all of JIS X 0208,
// through the whole engine, and undone on every pair.
#include "code_arithmetic.h"

#include "output_checks.h"

namespace zekt::testing {
namespace {

// Every cell of rows 1-84 that glibc's EUC-JP defines, and glibc's SHIFT_JIS
// form of each, as two texts in the same order.
const std::pair<std::string, std::string>& jisX0208() {
    static const auto texts = [] {
        std::pair<std::string, std::string> found;
        for (int code = 0xA1A1; code <= 0xF4FE; ++code) {
            if ((code & 0xFF) < 0xA1) continue;
            if (const auto sjis = iconvText("SHIFT_JIS", "EUC-JP", bytesOf(code));
                sjis && sjis->size() == 2) {
                found.first += bytesOf(code);
                found.second += *sjis;
            }
        }
        return found;
    }();
    return texts;
}

TEST(CodeArithmetic, SjisToEucUndoesEucToSjisOnEveryPair) {
    for (int e1 = 0xA1; e1 <= 0xFE; ++e1)
        for (int e2 = 0xA1; e2 <= 0xFE; ++e2) ASSERT_EQ(sjisToEuc(eucToSjis(e1 << 8 | e2)), e1 << 8 | e2);
}

TEST(CodeArithmetic, EngineRoundTripsJisX0208) {
    const auto& [euc, sjis] = jisX0208();
    ASSERT_EQ(euc.size(), 2u * 6879);  // all of JIS X 0208:1990, or the oracle is broken
    EXPECT_EQ(convertWith({"-E", "-s"}, euc), sjis);
    EXPECT_EQ(convertWith({"-S", "-e"}, sjis), euc);
    EXPECT_EQ(convertWith({"-e"}, sjis), euc);
    const std::string jis = convertWith({"-E", "-j"}, euc);
    EXPECT_EQ(jis, iconvText("ISO-2022-JP", "EUC-JP", euc));
    EXPECT_EQ(convertWith({"-J", "-e"}, jis), euc);
    EXPECT_EQ(convertWith({"-e"}, jis), euc);
}

// Pairs outside JIS X 0208 are not checked; the writers take the result apart
// bytewise, so nothing fails and every byte is accounted for.
TEST(CodeArithmetic, OutOfRangePairs) {
    // FF 4A is an EUC pair only by the Shift-JIS rule; its trail goes below 0.
    expectAtEverySplit({"-s"}, "FE A1 FF 4A", "EF 9F FF E9");
    expectAtEverySplit({"-E", "-s"}, "FE A1 FF 4A", "EF 9F FF E9");
    // A 7-bit pair read as Shift-JIS is a negative code: its low byte comes out.
    for (const char* out : {"-s", "-e", "-j"}) {
        expectAtEverySplit({"-S", out}, "1B 24 42 30 21 1B 28 42", "82");
        expectAtEverySplit({"-S", out, "-X", "-Z", "-xNOWIN"}, "1B 24 42 30 21 1B 28 42", "82");
    }
}

}  // namespace
}  // namespace zekt::testing
