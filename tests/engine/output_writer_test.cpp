// Byte-exact output of the encoders and writeChar, each vector also run with
// the input split at every byte offset.
#include "output_checks.h"

namespace zekt::testing {
namespace {

// EUC kanji B0 A1 is JIS 30 21, kana 8E B1 is JIS 31. Escapes: 1B2442 ESC $ B,
// 1B2440 ESC $ @, 1B2842 ESC ( B, 1B284A ESC ( J, 1B2849 ESC ( I, 1B4B/1B48 NEC.
TEST(OutputWriter, JisEscapesForEverySetting) {
    expectVectors({
        {{"-E", "-j"}, "B0 A1 B0 A2 61", "1B2442 3021 3022 1B2842 61"},
        {{"-E", "-j"}, "8E B1 B0 A1 8E B2", "1B2849 31 1B2442 3021 1B2849 32 1B2842"},
        {{"-E", "-j"}, "B0 A1 80 A0", "1B2442 3021 1B2842 80 A0"},
        {{"-E", "-j", "-lf"}, "B0 A1 0A B0 A1 09 61", "1B2442 3021 1B2842 0A 1B2442 3021 1B2842 09 61"},
        {{"-S", "-j"}, "88 9F 0A", "1B2442 3021 1B2842 0D0A"},
        {{"-S", "-jSHORT"}, "88 9F 0A", "1B2442 3021 0D0A 1B2842"},
        {{"-E", "-jSHORT", "-lf"}, "B0 A1 09 0A 61", "1B2442 3021 09 0A 1B2842 61"},
        {{"-E", "-jSHORT", "-jKANA8", "-lf"}, "B0 A1 0A 8E B1", "1B2442 3021 0A 1B2842 B1"},
        {{"-E", "-jSHORT", "-jNEC", "-lf"}, "B0 A1 0A 61", "1B4B 3021 0A 1B48 61"},
        {{"-E", "-jKANA8"}, "B0 A1 8E B1 8E DF", "1B2442 3021 1B2842 B1 DF"},
        {{"-E", "-jKANA8", "-jROMAJI"}, "8E B1", "1B284A B1 1B2842"},
        {{"-S", "-jSISO"}, "B1 61", "0E 31 1B2842 61"},
        {{"-E", "-jSISO", "-lf"}, "8E B1 B0 A1 8E B2 0A", "0E 31 1B2442 3021 0E 32 1B2842 0A"},
        {{"-E", "-j1978"}, "B0 A1 61", "1B2440 3021 1B2842 61"},
        {{"-E", "-j1978", "-j1983"}, "B0 A1 61", "1B2442 3021 1B2842 61"},
        {{"-E", "-jNEC"}, "B0 A1 61 B0 A1", "1B4B 3021 1B48 61 1B4B 3021 1B2842"},
        {{"-E", "-jNEC", "-jKANA7"}, "8E B1 61", "1B2849 31 1B48 61"},
        {{"-E", "-jNEC", "-jROMAJI"}, "B0 A1 61", "1B2442 3021 1B284A 61 1B2842"},
        {{"-E", "-jNEC", "-jASCII"}, "B0 A1 61", "1B2442 3021 1B2842 61"},
        {{"-E", "-jROMAJI", "-j1978"}, "61 B0 A1 62", "1B284A 61 1B2440 3021 1B284A 62 1B2842"},
    });
}

// JIS X 0212 (EUC 8F B0 A1, JIS 30 21 after ESC $ ( D): carried by EUC and
// JIS, the substitute (geta, EUC A2 AE) elsewhere.
TEST(OutputWriter, JisX0212AndSubstitution) {
    expectVectors({
        {{"-E", "-j"}, "B0 A1 8F B0 A1 8F B0 A2", "1B2442 3021 1B242844 3021 3022 1B2842"},
        {{"-E", "-j1978"}, "8F B0 A1 B0 A1", "1B242844 3021 1B2440 3021 1B2842"},
        {{"-E", "-jNEC"}, "8F B0 A1 B0 A1 61", "1B4B 222E 3021 1B48 61"},
        {{"-E", "-s"}, "61 8F B0 A1 8E B1 B0 A1", "61 81AC B1 889F"},
    });
}

// Every line end becomes the chosen one, or stays; -nk converts nothing else.
TEST(OutputWriter, LineEndsAndNoConversion) {
    for (const char* out : {"-e", "-s", "-j"}) {
        expectVectors({
            {{"-E", out, "-lf"}, "61 0D 0A 62 0D 63 0A 0D", "61 0A 62 0A 63 0A 0A"},
            {{"-E", out, "-cr"}, "61 0D 0A 62 0D 63 0A", "61 0D 62 0D 63 0D"},
            {{"-E", out, "-crlf"}, "61 0D 0A 62 0D 63 0A", "61 0D0A 62 0D0A 63 0D0A"},
            {{"-E", out, "-nr"}, "61 0D 0A 62 0D 0D 0A 0A", "61 0D 0A 62 0D 0D 0A 0A"},
        });
    }
    expectVectors({
        {{"-nk"}, "88 9F B0 A1", "88 9F B0 A1"},
        {{"-nk"}, "1B 24 42 30 21 1B 28 42", "1B 24 42 30 21 1B 28 42"},
        {{"-nk"}, "61 0A 62 0D", "61 0D0A 62 0D0A"},
        {{"-nk", "-lf"}, "88 9F 0D 0A B0 A1", "88 9F 0A B0 A1"},
    });
}

}  // namespace
}  // namespace zekt::testing
