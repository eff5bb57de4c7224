// The three exchanges: kana joining, full-width ASCII folding, and the
// spellings of the machine-dependent characters, seen at the output.
#include "exchanges.h"

#include "code_arithmetic.h"
#include "output_checks.h"

namespace zekt::testing {
namespace {

// Shift-JIS half-width kana in, EUC out. Each character leaves one step late,
// so the splits also cover a character held across a block boundary.
TEST(Exchanges, KanaJoining) {
    const std::vector<std::string> x{"-S", "-e", "-X"};
    expectVectors({
        {x, "61 B6 DE 62 B3 DE", "61 A5AC 62 A5F4"},
        {x, "CA DF DF B6 DE DE", "A5D1 A1AC A5AC A1AB"},
        // Marks that join nothing come out full-width; O, NA and MA border the voiced ranges.
        {x, "B5 DE C5 DE CF DE B6 DF 61 DE", "A5AA A1AB A5CA A1AB A5DE A1AB A5AB A1AC 61 A1AB"},
        // A line end waits its turn like any other character.
        {{"-S", "-e", "-X", "-lf"}, "B6 0D 0A DE", "A5AB 0A A1AB"},
        {{"-S", "-j", "-X", "-lf"}, "B1 0A", "1B2442 2522 1B2842 0A"},
        // Kana of every input form is widened.
        {{"-E", "-e", "-X"}, "8E B6 8E DE", "A5AC"},
        {{"-J", "-e", "-X"}, "1B 28 49 36 5E 1B 28 42 0E 36 5E 0F B6 DE", "A5AC A5AC A5AC"},
        // A spelling's last kana joins a following mark; a held kana goes out before a spelling.
        {{"-S", "-e", "-xNOWIN", "-X"}, "87 61 DE", "A5BB A5F3 A5C2"},
        {{"-S", "-e", "-xNOWIN", "-X"}, "B6 87 63", "A5AB A5B0 A5E9 A5E0"},
    });
}

// Rows 1 and 3, every cell: glibc names the character; the full-width forms
// of ASCII fold to ASCII, nine look-alikes fold too, everything else stays.
TEST(Exchanges, AsciiFoldOverRowsOneAndThree) {
    constexpr std::pair<CharCode, char> lookAlikes[] = {{0xA1AD, '\''}, {0xA1BD, '-'}, {0xA1C6, '`'},
                                                        {0xA1C7, '\''}, {0xA1C8, '"'}, {0xA1C9, '"'},
                                                        {0xA1D2, '<'},  {0xA1D3, '>'}, {0xA1DD, '-'}};
    std::string input, expected;
    for (int row : {0xA1, 0xA3}) {
        for (int col = 0xA1; col <= 0xFE; ++col) {
            const CharCode c = row << 8 | col;
            const auto wide = iconvText("UTF-32BE", "EUC-JP", twoBytes(c));
            const int u = wide && wide->size() == 4 ? pairOf(wide->substr(2)) : 0;
            char ascii = u >= 0xFF01 && u <= 0xFF5E ? static_cast<char>(u - 0xFEE0) : 0;
            for (auto [code, alike] : lookAlikes) ascii = code == c ? alike : ascii;
            input += twoBytes(c);
            expected += ascii ? std::string(1, ascii) : twoBytes(c);
        }
    }
    EXPECT_EQ(hex(convertWith({"-E", "-e", "-Z"}, input)), hex(expected));
    expectAtEverySplit({"-E", "-j", "-Z"}, "A1 CA A3 E1 A1 CB", "28 61 29");
}

// A spelling's characters in EUC form, as -E reads them back.
std::string eucBytes(const Spelling& spelling) {
    std::string text;
    for (CharCode part : spelling)
        if (part != 0) text += part <= 0xFF ? std::string(1, static_cast<char>(part)) : twoBytes(part);
    return text;
}

// Row 13 in every input code and the Shift-JIS vendor area come out, in every output code and with
// the other exchanges or not, as their spellings read as EUC do. Row 13 and vendor kanji (lead
// ED-EE) without one stay, the rest substitutes, as vendor codes do with the exchange off.
TEST(Exchanges, MachineDependentSpellings) {
    std::string euc, sjis, jis = bytes("1B 24 42"), spelled, vendor, vendorSpelled;
    for (CharCode c = kNecRowFirst; c <= kNecRowLast; ++c) {
        euc += twoBytes(c);
        sjis += twoBytes(eucToSjis(c));
        jis += twoBytes(c & 0x7F7F);
        spelled += isEmpty(necRowSpelling(c)) ? twoBytes(c) : eucBytes(necRowSpelling(c));
    }
    for (int code = 0xED40; code <= 0xFCFC; ++code) {
        const int trail = code & 0xFF;
        if (trail < 0x40 || trail == 0x7F || trail > 0xFC || code >> 8 == 0xEF) continue;
        const bool ibm = code >= kIbmExtFirst && code <= kIbmExtLast;
        vendor += twoBytes(code);
        if (code < 0xEF00)
            vendorSpelled += twoBytes(sjisToEuc(code));
        else
            vendorSpelled +=
                ibm && !isEmpty(ibmExtSpelling(code)) ? eucBytes(ibmExtSpelling(code)) : bytes("A2 AE");
    }
    const std::tuple<const char*, std::string, std::string> cases[] = {
        {"-E", euc, spelled},
        {"-S", sjis, spelled},
        {"-J", jis + bytes("1B 28 42"), spelled},
        {"-S", vendor, vendorSpelled},
    };
    for (const char* out : {"-e", "-s", "-j"}) {
        for (const auto& more : {std::vector<std::string>{}, {"-Z", "-X"}}) {
            for (const auto& [in, input, expected] : cases) {
                std::vector<std::string> options{in, out, "-xNOWIN"}, plain{"-E", out};
                options.insert(options.end(), more.begin(), more.end());
                plain.insert(plain.end(), more.begin(), more.end());
                EXPECT_EQ(hex(convertWith(options, input)), hex(convertWith(plain, expected)))
                    << in << " " << out << " " << more.size() << " " << hex(input.substr(0, 2));
            }
        }
    }
    expectAtEverySplit({"-S", "-e"}, "FA 40 FA 58 FA 5B", "A2AE A2AE A2AE");
    expectAtEverySplit({"-E", "-e", "-xNOWIN", "-Z", "-X"}, "8F B0 A1 8F A1 A1", "8F B0 A1 8F A1 A1");
}

}  // namespace
}  // namespace zekt::testing
