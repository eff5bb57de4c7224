// The JIS escape sequences and shifts as the input side reads them: the
// report flag each sets (beside detect::JIS) and the input mode it selects.
// The decoder and the block path's shortcut both read them from here.
#pragma once

#include <optional>

#include "control_codes.h"
#include "engine_types.h"

namespace zekt {

struct JisEffect {
    detect::Flag flag;
    JisMode mode;
};

// ESC second final, known by its last two bytes.
struct KnownEscape {
    int second, final;
    JisEffect effect;
};
inline constexpr KnownEscape knownEscapes[] = {
    {'$', '@', {detect::JIS1978_SEQ, JisMode::KANJI1978}},
    {'$', 'B', {detect::JIS1983_SEQ, JisMode::KANJI1983}},
    {'(', 'B', {detect::ASCII_SEQ, JisMode::ASCII}},
    {'(', 'I', {detect::KANA7_SEQ, JisMode::KANA7}},
    {'(', 'J', {detect::ROMAJI_SEQ, JisMode::ROMAJI}},
};

constexpr std::optional<JisEffect> knownEscape(int second, int final) {
    for (const KnownEscape& known : knownEscapes)
        if (known.second == second && known.final == final) return known.effect;
    return std::nullopt;
}

// ESC K and ESC H, NEC's kanji and its return.
constexpr bool isNecEscape(int c) { return c == 'K' || c == 'H'; }
constexpr JisEffect necEscape(int c) { return {detect::NEC_SEQ, c == 'K' ? JisMode::NEC : JisMode::ASCII}; }

// SO and SI, into the kana set and out of it.
constexpr bool isShift(int c) { return c == SO || c == SI; }
constexpr JisEffect shiftByte(int c) { return {detect::SI_SO, c == SO ? JisMode::SISO : JisMode::ASCII}; }

}  // namespace zekt
