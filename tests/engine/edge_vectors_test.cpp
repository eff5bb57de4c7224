// Edge vectors: the first and last byte of every range the decoders test
// and the byte each side of it, in each code; one vector per option over one
// text; and the options that interplay. The characters inside each range
// were checked against Python's codecs; the bytes outside them, which no
// codec reads, are zekt's reading as reviewed against each code's rules.
// Each vector also runs after 16 to 47 bytes of ASCII, so that the 16-byte
// loops of the block path meet it at every alignment.
#include <algorithm>

#include "output_checks.h"

namespace zekt::testing {
namespace {

// The same bytes after a run of ASCII give the same output after the same
// run, where the output writes ASCII as is and carries no mark.
void expectAfterAscii(const std::vector<Vector>& vectors) {
    for (const auto& [options, input, output] : vectors) {
        const bool plainAscii = std::ranges::none_of(options, [](const std::string& o) {
            return o.starts_with("-u16") || o.starts_with("-U16") || o == "-u8bom" || o == "-jROMAJI";
        });
        if (!plainAscii) continue;
        for (std::size_t shift = 16; shift < 48; shift += 3) {
            const std::string ascii(shift, 'a');
            EXPECT_EQ(hex(convertWith(options, ascii + bytes(input))), hex(ascii + bytes(output)))
                << ::testing::PrintToString(options) << " " << input << " after " << shift;
        }
    }
}

void expectEverywhere(const std::vector<Vector>& vectors) {
    expectVectors(vectors);
    expectAfterAscii(vectors);
}

TEST(EdgeVectors, RangesOfEachCode) {
    expectEverywhere({
        // Shift-JIS: the first and last lead and trail of each range, and each side
        {{"-S", "-e", "-nr"}, "81 40 81 7E 81 80 81 FC", "A1 A1 A1 DF A1 E0 A2 FE"},
        {{"-S", "-e", "-nr"}, "88 9F 9F FC E0 40 EA A4", "B0 A1 DE FE DF A1 F4 A6"},
        // (a lead that nothing completes is the substitute, what ended it read afresh)
        {{"-S", "-e", "-nr", "-nb"}, "81 3F 81 7F 81 FD", "A2 AE 3F A2 AE 7F A2 AE A2 AE"},
        {{"-S", "-e", "-nr"}, "80 A0 A1 DF E0", "80 A0 8E A1 8E DF A2 AE"},
        {{"-S", "-e", "-nr"},
         "ED 40 EE FC F0 40 F9 FC FA 40 FC 4B FD FE FF",
         "F9 A1 FC FE A2 AE A2 AE FC F1 FC EE A2 AE A2 AE"},
        // EUC: pairs, SS2 kana and SS3 triples at their edges
        {{"-E", "-s", "-nr"}, "A1 A1 F4 A6 8E A1 8E DF", "81 40 EA A4 A1 DF"},
        {{"-E", "-u8", "-nr"},
         "A1 A1 F4 A6 8E A1 8E DF 8F B0 A1 8F ED E3",
         "E3 80 80 E7 86 99 EF BD A1 EF BE 9F E4 B8 82 E9 BE A5"},
        {{"-E", "-s", "-nr"}, "FE FE F5 A1 8F FE FE", "EF FC EB 40 81 AC"},
        {{"-E", "-s", "-nr"},
         "A0 A1 A1 A0 FF A1 8E A0 8E E0 8F A1 A0 41",
         "A0 81 40 A0 F0 40 A0 E0 81 AC 41"},
        {{"-E", "-s", "-nr"}, "AD A1 AD FE F9 A1 FC FE", "87 40 87 9E ED 40 EE FC"},
        // JIS: pairs, kana after ESC ( I and after SO, the NEC and 1978 escapes
        {{"-J", "-e", "-nr"}, "1B 24 42 21 21 7E 7E 20 21 0A 21 1B 28 42", "A1 A1 FE FE 20 A2 AE 0A A2 AE"},
        {{"-J", "-e", "-nr"},
         "1B 28 49 20 21 5F 60 1B 28 42 0E 21 5F 60 0F 41",
         "20 8E A1 8E DF 60 8E A1 8E DF 60 41"},
        {{"-J", "-e", "-nr"},
         "1B 4B 21 21 1B 48 41 1B 24 40 30 21 1B 28 4A 41 1B 24 28 44 30 21",
         "A1 A1 41 B0 A1 41 8F B0 A1"},
        // UTF-8: each side of every row of the well-formed table
        {{"-U8", "-u8", "-nr"},
         "C1 BF C2 80 DF BF E0 9F BF E0 A0 80 ED 9F BF ED A0 80 EF BF BF",
         "E3 80 93 E3 80 93 C2 80 DF BF E3 80 93 E3 80 93 E3 80 93 E0 A0 80 ED 9F BF E3 80 93 E3 80 93 E3 80 "
         "93 EF BF BF"},
        {{"-U8", "-u8", "-nr"},
         "F0 8F BF BF F0 90 80 80 F4 8F BF BF F4 90 80 80 F5 80 80 80 80",
         "E3 80 93 E3 80 93 E3 80 93 E3 80 93 F0 90 80 80 F4 8F BF BF E3 80 93 E3 80 93 E3 80 93 E3 80 93 E3 "
         "80 93 E3 80 93 E3 80 93 E3 80 93 E3 80 93"},
        {{"-U8", "-e", "-nr"},
         "E3 81 81 E3 82 93 EF BD A1 EF BE 9F E4 BA 9C E9 BE A0",
         "A4 A1 A4 F3 8E A1 8E DF B0 A1 F3 FE"},
        // Kana and the exchanges in each writer
        {{"-S", "-j", "-nr"}, "B1 DF 41", "1B 28 49 31 5F 1B 28 42 41"},
        {{"-S", "-u8", "-nr"}, "A1 DF", "EF BD A1 EF BE 9F"},
        {{"-S", "-e", "-X", "-nr"}, "B6 DE CA DF B3 DE A1 DF", "A5 AC A5 D1 A5 F4 A1 A3 A1 AC"},
        {{"-S", "-e", "-Z", "-nr"},
         "82 60 82 79 82 81 82 9A 82 4F 82 58 81 40 81 60",
         "41 5A 61 7A 30 39 A1 A1 A1 C1"},
        {{"-S", "-s", "-xNOWIN", "-nr"},
         "87 40 87 53 87 54 87 5D 87 5F 87 75 87 7E 87 80 87 9C FA 40 FA 5B",
         "28 31 29 28 32 30 29 49 58 D0 D8 6D 5E 32 95 BD 90 AC 87 80 81 BE 69 81 E6"},
        {{"-U8", "-s", "-nr"},
         "E2 80 94 E2 88 92 EF BD 9E E2 80 96 EF BF A0",
         "81 5C 81 7C 81 60 81 61 81 91"},
        {{"-U8", "-s", "-xMS", "-nr"},
         "E2 80 94 E2 88 92 EF BD 9E E2 88 A5 EF BF A0",
         "81 5C 81 7C 81 60 81 61 81 91"},
        {{"-S", "-u8", "-xMS", "-nr"},
         "81 5C 81 60 81 61 81 7C 81 91 81 92 81 CA",
         "E2 80 95 EF BD 9E E2 88 A5 EF BC 8D EF BF A0 EF BF A1 EF BF A2"},
        {{"-S", "-u8", "-nr"},
         "81 5C 81 60 81 61 81 7C 81 91 81 92 81 CA",
         "E2 80 95 E3 80 9C E2 80 96 E2 88 92 C2 A2 C2 A3 C2 AC"},
        // CR-only text in every code (each output line end: OutputWriter)
        {{"-lf"}, "61 0D 62 0D", "61 0A 62 0A"},
        {{"-lf"}, "82 A0 0D 82 A2 0D", "82 A0 0A 82 A2 0A"},
        {{"-lf"}, "A4 A2 0D A4 A4 0D A4 A6 0D", "82 A0 0A 82 A2 0A 82 A4 0A"},
        {{"-lf"}, "1B 24 42 24 22 0D 1B 28 42 0D", "82 A0 0A 0A"},
        {{"-lf"}, "E3 81 82 0D E3 81 84 0D", "82 A0 0A 82 A2 0A"},
        {{"-U16LE", "-u8", "-lf"}, "42 30 0D 00 44 30 0D 00", "E3 81 82 0A E3 81 84 0A"},
        {{"-U16BE", "-u8", "-cr"}, "30 42 00 0D 00 0A 30 44 00 0A", "E3 81 82 0D E3 81 84 0D"},
    });
}

// Each option (synonyms together) over one text: あｱＡ① CR LF in Shift-JIS
// under the output options, a mixed text under the input options.
using OptionRows = std::vector<std::pair<std::vector<std::string>, const char*>>;
void expectEachOption(const std::string& fixed, const char* input, const OptionRows& rows) {
    std::vector<Vector> vectors;
    for (const auto& [options, output] : rows)
        for (const std::string& option : options) vectors.push_back({{fixed, option}, input, output});
    expectEverywhere(vectors);
}

TEST(EdgeVectors, OneVectorPerOption) {
    const char* jis = "1B 24 42 24 22 1B 28 49 31 1B 24 42 23 41 2D 21 1B 28 42 0D 0A";
    expectEachOption(
        "-S", "82 A0 B1 82 60 87 40 0D 0A",
        {
            {{"-s", "-sj", "-cl", "-crlf", "-dos", "-x", "-xMS", "-nb", "-nr"}, "82 A0 B1 82 60 87 40 0D 0A"},
            {{"-e"}, "A4 A2 8E B1 A3 C1 AD A1 0D 0A"},
            {{"-unix"}, "A4 A2 8E B1 A3 C1 AD A1 0A"},
            {{"-lf"}, "82 A0 B1 82 60 87 40 0A"},
            {{"-cr", "-mac"}, "82 A0 B1 82 60 87 40 0D"},
            {{"-u8", "-utf8"}, "E3 81 82 EF BD B1 EF BC A1 E2 91 A0 0D 0A"},
            {{"-u8bom"}, "EF BB BF E3 81 82 EF BD B1 EF BC A1 E2 91 A0 0D 0A"},
            {{"-u16"}, "FF FE 42 30 71 FF 21 FF 60 24 0D 00 0A 00"},
            {{"-u16le"}, "42 30 71 FF 21 FF 60 24 0D 00 0A 00"},
            {{"-u16be"}, "30 42 FF 71 FF 21 24 60 00 0D 00 0A"},
            {{"-j", "-jKANA7", "-j1983", "-jASCII"}, jis},
            {{"-jKANA8"}, "1B 24 42 24 22 1B 28 42 B1 1B 24 42 23 41 2D 21 1B 28 42 0D 0A"},
            {{"-jSISO"}, "1B 24 42 24 22 0E 31 1B 24 42 23 41 2D 21 1B 28 42 0D 0A"},
            {{"-j1978"}, "1B 24 40 24 22 1B 28 49 31 1B 24 40 23 41 2D 21 1B 28 42 0D 0A"},
            {{"-jNEC"}, "1B 4B 24 22 1B 28 49 31 1B 4B 23 41 2D 21 1B 48 0D 0A"},
            {{"-jROMAJI"}, "1B 24 42 24 22 1B 28 49 31 1B 24 42 23 41 2D 21 1B 28 4A 0D 0A 1B 28 42"},
            {{"-jSHORT"}, "1B 24 42 24 22 1B 28 49 31 1B 24 42 23 41 2D 21 0D 0A 1B 28 42"},
            {{"-xASCII8", "-Z"}, "82 A0 B1 41 87 40 0D 0A"},
            {{"-xKANA16", "-X"}, "82 A0 83 41 82 60 87 40 0D 0A"},
            {{"-xNOWIN"}, "82 A0 B1 82 60 28 31 29 0D 0A"},
        });
    expectEachOption("-e", "41 A4 A2 82 A0 1B 24 42 24 22 E3 81 82 42 30",
                     {
                         {{"-E", "-UNIX"}, "41 A4 A2 82 A0 24 22 E3 81 82 42 A2 AE"},
                         {{"-J"}, "41 8E A4 8E A2 82 A0 A4 A2 E3 81 82 C2 A2 AE"},
                         {{"-S", "-SJ", "-MAC", "-DOS"}, "41 8E A4 8E A2 A4 A2 83 E5 E1 A3 A3 A2 AE"},
                         {{"-U8", "-UTF8"}, "41 A2 AE A2 AE A2 AE A2 AE 1B 24 42 24 22 A4 A2 42 30"},
                         {{"-U16LE", "-U16"}, "A2 AE A2 AE A2 AE A2 AE A2 AE BF C3 A2 AE A2 AE"},
                         {{"-U16BE"}, "A2 AE A2 AE A2 AE A2 AE A2 AE A2 AE A2 AE A2 AE"},
                     });
}

TEST(EdgeVectors, OptionsThatInterplay) {
    expectEverywhere({
        {{"-jNEC", "-j1983"}, "82 A0 0D 0A 41", "1B 24 42 24 22 1B 28 42 0D 0A 41"},
        {{"-j1983", "-jNEC"}, "82 A0 0D 0A 41", "1B 4B 24 22 1B 48 0D 0A 41"},
        {{"-jNEC", "-jASCII"}, "82 A0 0D 0A 41", "1B 24 42 24 22 1B 28 42 0D 0A 41"},
        {{"-jROMAJI", "-jNEC", "-j1978"}, "82 A0 41", "1B 24 40 24 22 1B 28 42 41"},
        {{"-jSHORT"},
         "82 A0 09 82 A2 0D 0A B1 0C 41",
         "1B 24 42 24 22 09 24 24 0D 0A 1B 28 49 31 0C 1B 28 42 41"},
        {{"-S", "-jSHORT", "-jSISO"}, "B1 09 B2 0D 0A", "0E 31 09 32 0D 0A 1B 28 42"},
        // The first and last control byte stay in the set in force; a space does not.
        {{"-jSHORT", "-nb"}, "82 A0 01 1F 82 A2 20", "1B 24 42 24 22 01 1F 24 24 1B 28 42 20"},
        {{"-j"},
         "82 A0 09 82 A2 0D 0A B1 0C 41",
         "1B 24 42 24 22 1B 28 42 09 1B 24 42 24 24 1B 28 42 0D 0A 1B 28 49 31 1B 28 42 0C 41"},
        {{"-mac", "-e"}, "82 A0 0A", "A4 A2 0D"},
        {{"-e", "-mac"}, "82 A0 0A", "82 A0 0D"},
        {{"-unix", "-s"}, "A4 A2 0D 0A", "82 A0 0A"},
        {{"-nk", "-E", "-s"}, "A4 A2 0D 0A", "82 A0 0D 0A"},
        {{"-nk"}, "82 A0 0D 0A", "82 A0 0D 0A"},
        {{"-S", "-u8", "-Z", "-X"}, "82 60 B6 DE", "41 E3 82 AC"},
    });
}

}  // namespace
}  // namespace zekt::testing
