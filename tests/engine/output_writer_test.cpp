// Byte-exact output of the encoders and writeChar, each vector also run with
// the input split at every byte offset.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "output_checks.h"

namespace zekt::testing {
namespace {

// Input: EUC kanji B0 A1 (JIS 30 21), kana 8E B1 (JIS 31), 'a' 61.
TEST(OutputWriter, JisDefaults) {
    expectVectors({
        {{"-E", "-j"}, "B0 A1", "1B2442 3021 1B2842"},
        {{"-E", "-j"}, "B0 A1 61", "1B2442 3021 1B2842 61"},
        {{"-E", "-j"}, "61 62", "61 62"},
        {{"-E", "-j"}, "B0 A1 B0 A2", "1B2442 3021 3022 1B2842"},
        {{"-E", "-j"}, "8E B1", "1B2849 31 1B2842"},
        {{"-E", "-j"}, "8E B1 B0 A1 8E B2", "1B2849 31 1B2442 3021 1B2849 32 1B2842"},
        {{"-E", "-j"}, "B0 A1 80 A0", "1B2442 3021 1B2842 80 A0"},
        {{"-E", "-j", "-lf"}, "B0 A1 0A B0 A1", "1B2442 3021 1B2842 0A 1B2442 3021 1B2842"},
        {{"-S", "-j"}, "88 9F 0A", "1B2442 3021 1B2842 0D0A"},
        {{"-E", "-j"}, "B0 A1 0D 0A", "1B2442 3021 1B2842 0D0A"},
        {{"-E", "-j", "-lf"}, "B0 A1 09 61", "1B2442 3021 1B2842 09 61"},
    });
}

TEST(OutputWriter, JisShortKeepsControlsInTheCurrentSet) {
    expectVectors({
        {{"-S", "-jSHORT"}, "88 9F 0A", "1B2442 3021 0D0A 1B2842"},
        {{"-E", "-jSHORT", "-lf"}, "B0 A1 09 0A 61", "1B2442 3021 09 0A 1B2842 61"},
        {{"-E", "-jSHORT", "-crlf"}, "B0 A1 0D 0A 0D", "1B2442 3021 0D0A 0D0A 1B2842"},
        {{"-E", "-jSHORT", "-lf"}, "8E B1 0A", "1B2849 31 0A 1B2842"},
        {{"-E", "-jSHORT", "-jKANA8", "-lf"}, "B0 A1 0A 8E B1", "1B2442 3021 0A 1B2842 B1"},
        {{"-E", "-jSHORT", "-lf"}, "8F B0 A1 0A", "1B242844 3021 0A 1B2842"},
        {{"-E", "-jSHORT", "-jNEC", "-lf"}, "B0 A1 0A 61", "1B4B 3021 0A 1B48 61"},
    });
}

TEST(OutputWriter, JisKanaModes) {
    expectVectors({
        {{"-S", "-jKANA7"}, "B1", "1B2849 31 1B2842"},
        {{"-S", "-jKANA8"}, "B1", "B1"},
        {{"-S", "-jSISO"}, "B1", "0E 31 1B2842"},
        {{"-S", "-jSISO"}, "B1 61", "0E 31 1B2842 61"},
        {{"-E", "-jSISO", "-lf"}, "8E B1 B0 A1 8E B2 0A", "0E 31 1B2442 3021 0E 32 1B2842 0A"},
        {{"-E", "-jKANA8"}, "B0 A1 8E B1 8E DF", "1B2442 3021 1B2842 B1 DF"},
        {{"-E", "-jKANA8", "-jROMAJI"}, "8E B1", "1B284A B1 1B2842"},
        {{"-E", "-jKANA8", "-jSISO", "-jKANA7"}, "8E B1", "1B2849 31 1B2842"},
    });
}

TEST(OutputWriter, JisKanjiAndAsciiModes) {
    expectVectors({
        {{"-E", "-j1978"}, "B0 A1 61", "1B2440 3021 1B2842 61"},
        {{"-E", "-j1983"}, "B0 A1 61", "1B2442 3021 1B2842 61"},
        {{"-E", "-jNEC"}, "B0 A1 61", "1B4B 3021 1B48 61"},
        {{"-E", "-jNEC"}, "61 B0 A1", "61 1B4B 3021 1B2842"},
        {{"-E", "-jNEC"}, "8E B1 61", "1B2849 31 1B48 61"},
        {{"-E", "-jNEC", "-jSISO"}, "8E B1 B0 A1 61", "0E 31 1B4B 3021 1B48 61"},
        {{"-E", "-jNEC", "-jKANA8"}, "B0 A1 8E B1", "1B4B 3021 1B48 B1"},
        {{"-E", "-jNEC", "-j1978"}, "B0 A1 61", "1B2440 3021 1B2842 61"},
        {{"-E", "-jNEC", "-jROMAJI"}, "B0 A1 61", "1B2442 3021 1B284A 61 1B2842"},
        {{"-E", "-jNEC", "-jASCII"}, "B0 A1 61", "1B2442 3021 1B2842 61"},
        {{"-E", "-jROMAJI"}, "61", "1B284A 61 1B2842"},
        {{"-E", "-jROMAJI", "-lf"}, "B0 A1 0A", "1B2442 3021 1B284A 0A 1B2842"},
        {{"-E", "-jROMAJI", "-j1978"}, "61 B0 A1 62", "1B284A 61 1B2440 3021 1B284A 62 1B2842"},
        {{"-E", "-jROMAJI", "-jASCII"}, "61", "61"},
    });
}

// JIS X 0212 (EUC 8F B0 A1, JIS 30 21 after ESC $ ( D): carried by EUC and
// JIS, the substitute (geta, EUC A2 AE) elsewhere.
TEST(OutputWriter, JisX0212AndSubstitution) {
    expectVectors({
        {{"-E", "-e"}, "8F B0 A1", "8F B0 A1"},
        {{"-E", "-j"}, "8F B0 A1", "1B242844 3021 1B2842"},
        {{"-E", "-j1978"}, "8F B0 A1 B0 A1", "1B242844 3021 1B2440 3021 1B2842"},
        {{"-E", "-j"}, "8F B0 A1 8F B0 A2 61", "1B242844 3021 3022 1B2842 61"},
        {{"-E", "-j"}, "B0 A1 8F B0 A1 B0 A1", "1B2442 3021 1B242844 3021 1B2442 3021 1B2842"},
        {{"-E", "-jNEC"}, "8F B0 A1", "1B4B 222E 1B2842"},
        {{"-E", "-jNEC"}, "8F B0 A1 B0 A1 61", "1B4B 222E 3021 1B48 61"},
        {{"-E", "-s"}, "8F B0 A1", "81 AC"},
        {{"-E", "-s"}, "61 8F B0 A1 8E B1 B0 A1", "61 81AC B1 889F"},
        {{"-S", "-e"}, "88 9F B1 F0 40", "B0 A1 8E B1 A2 AE"},
    });
}

// 61 CR LF 62 CR 63 LF: every line end becomes the chosen one, or stays.
TEST(OutputWriter, LineEnds) {
    const char* mixed = "61 0D 0A 62 0D 63 0A";
    for (const char* out : {"-e", "-s", "-j"}) {
        expectVectors({
            {{"-E", out, "-lf"}, mixed, "61 0A 62 0A 63 0A"},
            {{"-E", out, "-cr"}, mixed, "61 0D 62 0D 63 0D"},
            {{"-E", out, "-crlf"}, mixed, "61 0D0A 62 0D0A 63 0D0A"},
            {{"-E", out, "-nr"}, mixed, mixed},
            {{"-E", out, "-lf"}, "61 0D", "61 0A"},
            {{"-E", out, "-nr"}, "0D 0D 0A 0A", "0D 0D 0A 0A"},
        });
    }
    expectVectors({
        {{"-E", "-j", "-nr"}, "B0 A1 0D 0A 0D", "1B2442 3021 1B2842 0D 0A 0D"},
        {{"-E", "-j", "-cr"}, "B0 A1 0A", "1B2442 3021 1B2842 0D"},
    });
}

// -nk: no input code forced, no conversion: the internal (EUC) form goes out.
TEST(OutputWriter, NoConversion) {
    expectVectors({
        {{"-nk"}, "88 9F", "88 9F"},
        {{"-nk"}, "B0 A1", "B0 A1"},
        {{"-nk"}, "1B 24 42 30 21 1B 28 42", "30 21"},
        {{"-nk"}, "61 0A 62 0D", "61 0D0A 62 0D0A"},
        {{"-nk", "-nr"}, "61 0A 62 0D 0A 0D", "61 0A 62 0D 0A 0D"},
        {{"-nk", "-lf"}, "88 9F 0D 0A B0 A1", "88 9F 0A B0 A1"},
    });
}

}  // namespace
}  // namespace zekt::testing
