// decodeByte: one byte of input read, with what it does to the reading.
#pragma once

#include "engine_types.h"

namespace zekt {

// Reads byte c of input code inputKind: the RawCode it completes (0: none
// yet), with the line end, the evidence and the input's JIS set it shows.
// What c showed to stand alone before it goes to alone, for a conversion
// to write first; a scan passes null. Nothing is written here.
RawCode decodeByte(int c, CodeKind inputKind, ReturnKind& returnKind, DecodeState& state,
                   DetectReport& report, InputShift& shift, StandAlone* alone);

}  // namespace zekt
