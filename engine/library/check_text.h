// What a check says of an input: its code, its line end and the details
// found, as zekt prints them after the input's name.
#pragma once

#include <string>

#include "engine_types.h"

namespace zekt {

// "SJIS [CRLF] IZON ": each word followed by a blank.
std::string checkText(CodeKind code, ReturnKind returnKind, const DetectReport& report);

}  // namespace zekt
