// The input converters, chosen by the input CodeKind.
#pragma once

#include <array>

#include "converter.h"

namespace zekt {

// Indexed by CodeKind ASCII, JIS, SJIS, EUC.
extern const std::array<InputConverter, 4> inputConverters;

// Turns one Shift-JIS RawCode into characters (the vendor-code spellings and
// the substitute for the codes from 0xF040 up).
void writeSjisChar(Converter& conv, RawCode r, ShiftState& shift);

}  // namespace zekt
