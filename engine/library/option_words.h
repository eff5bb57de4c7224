// zekt's options as settings: one word at a time for the command line, a
// line of words for the library.
#pragma once

#include <string_view>

#include "codec.h"

namespace zekt {

// What an option word is.
enum class OptionWord {
    SETTING,         // applied to the settings (or one that changes nothing)
    CHECK,           // -c
    NEXT_IS_FILE,    // -f
    REST_ARE_FILES,  // --
    HELP,            // -h, --help
    VERSION,         // -v, --version
    VERSION_LINE,    // ---version
    OVERWRITE,       // -overwrite
    UNKNOWN,
};

// Applies the option called name (its word without the first dash) to
// settings, when it is a setting, and says what it is.
OptionWord applyOptionWord(CodecSettings& settings, const char* name);

// Applies the words of text, separated by blanks, left to right; false at
// the first word that is neither a setting nor -c (a file name, -, an
// unknown word, or one that only the command line takes). check is set by
// -c.
bool applyOptionWords(std::string_view text, CodecSettings& settings, bool& check);

}  // namespace zekt
