// Control codes, and the escape and shift sequences of the byte formats read
// and written. A sequence is held as an int whose significant bytes, most
// significant first, are its bytes (ESC ( B is 0x1B2842).
#pragma once

#include <array>
#include <cstdint>

namespace zekt {

inline constexpr int LF = 0x0A, CR = 0x0D, SO = 0x0E, SI = 0x0F, ESC = 0x1B, DEL = 0x7F;
inline constexpr int SS2 = 0x8E, SS3 = 0x8F;  // EUC single shifts: kana, JIS X 0212

// A CR LF pair travels as this one character.
inline constexpr std::int32_t CRLF = 0x0D0A;

inline constexpr std::int32_t ESC_PAREN_B = 0x1B2842;           // ESC ( B  ASCII
inline constexpr std::int32_t ESC_PAREN_J = 0x1B284A;           // ESC ( J  JIS-Roman
inline constexpr std::int32_t ESC_PAREN_I = 0x1B2849;           // ESC ( I  7-bit katakana
inline constexpr std::int32_t ESC_DOLLAR_AT = 0x1B2440;         // ESC $ @  kanji 1978
inline constexpr std::int32_t ESC_DOLLAR_B = 0x1B2442;          // ESC $ B  kanji 1983
inline constexpr std::int32_t ESC_DOLLAR_PAREN_D = 0x1B242844;  // ESC $ ( D  JIS X 0212
inline constexpr std::int32_t ESC_DOLLAR_PAREN_Q = 0x1B242851;  // ESC $ ( Q  JIS X 0213 plane 1
inline constexpr std::int32_t ESC_DOLLAR_PAREN_P = 0x1B242850;  // ESC $ ( P  JIS X 0213 plane 2
inline constexpr std::int32_t ESC_K = 0x1B4B;                   // ESC K  NEC kanji
inline constexpr std::int32_t ESC_H = 0x1B48;                   // ESC H  NEC single-byte

// The UTF-8 byte order mark, and the character it encodes.
inline constexpr std::array<std::uint8_t, 3> utf8Bom{0xEF, 0xBB, 0xBF};
inline constexpr std::array<std::uint8_t, 2> utf16LeBom{0xFF, 0xFE};
inline constexpr std::array<std::uint8_t, 2> utf16BeBom{0xFE, 0xFF};
inline constexpr char32_t BYTE_ORDER_MARK = 0xFEFF;

}  // namespace zekt
