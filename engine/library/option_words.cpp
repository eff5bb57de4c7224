#include "option_words.h"

#include <cstring>
#include <string>

#include "option_tables.h"

namespace zekt {
namespace {

// The entry whose name equals name, or nullptr; a table ends at a null name.
const OptionEntry* findOption(const OptionEntry* table, const char* name) {
    for (; table->name != nullptr; ++table)
        if (std::strcmp(table->name, name) == 0) return table;
    return nullptr;
}

// JIS output, in its JIS X 0213 form only if it already was.
void setJisOutput(CodecSettings& settings) {
    if (settings.outputCode != CodeKind::JIS) settings.outputJisX0213 = false;
    settings.outputCode = CodeKind::JIS;
}

void applyJisMode(CodecSettings& settings, JisMode mode) {
    setJisOutput(settings);
    switch (mode) {
        case JisMode::KANA7:
        case JisMode::KANA8:
        case JisMode::SISO: settings.jisKanaMode = mode; break;
        case JisMode::ASCII:
        case JisMode::ROMAJI:
            // Leaving NEC through the single-byte group takes kanji back to 1983.
            if (settings.jisAsciiMode == JisMode::NEC) settings.jisKanjiMode = JisMode::KANJI1983;
            settings.jisAsciiMode = mode;
            break;
        case JisMode::KANJI1978:
        case JisMode::KANJI1983:
            if (settings.jisKanjiMode == JisMode::NEC) settings.jisAsciiMode = JisMode::ASCII;
            settings.jisKanjiMode = mode;
            break;
        case JisMode::NEC:
            settings.jisAsciiMode = JisMode::NEC;
            settings.jisKanjiMode = JisMode::NEC;
            break;
        default: break;
    }
}

// The value options: a code, a line end, a JIS mode; false if none holds
// the name.
bool applyValueOption(CodecSettings& settings, const char* name) {
    bool matched = false;
    if (const OptionEntry* e = findOption(outputCodeOptions, name)) {
        settings.outputCode = static_cast<CodeKind>(e->value & ~(withBom | jisX0213));
        settings.outputBom = (e->value & withBom) != 0;
        settings.outputJisX0213 = (e->value & jisX0213) != 0;
        matched = true;
    }
    if (const OptionEntry* e = findOption(returnOptions, name)) {
        settings.outputReturn = static_cast<ReturnKind>(e->value);
        matched = true;
    }
    if (const OptionEntry* e = findOption(jisModeOptions, name)) {
        applyJisMode(settings, static_cast<JisMode>(e->value));
        matched = true;
    }
    if (const OptionEntry* e = findOption(inputCodeOptions, name)) {
        settings.inputCode = static_cast<CodeKind>(e->value & ~(withBom | jisX0213));
        settings.inputMarkDecides = (e->value & withBom) != 0;
        settings.inputJisX0213 = (e->value & jisX0213) != 0;
        return true;
    }
    return matched;
}

}  // namespace

OptionWord applyOptionWord(CodecSettings& settings, const char* name) {
    const OptionEntry* special = findOption(specialOptions, name);
    if (special == nullptr)
        return applyValueOption(settings, name) ? OptionWord::SETTING : OptionWord::UNKNOWN;
    switch (special->value) {
        case action::NEXT_IS_FILE: return OptionWord::NEXT_IS_FILE;
        case action::REST_ARE_FILES: return OptionWord::REST_ARE_FILES;
        case action::CHECK: return OptionWord::CHECK;
        case action::HELP: return OptionWord::HELP;
        case action::VERSION: return OptionWord::VERSION;
        case action::VERSION_LINE: return OptionWord::VERSION_LINE;
        case action::OVERWRITE: return OptionWord::OVERWRITE;
        case action::NO_BINARY_CHECK: settings.binaryCheck = false; break;
        case action::EXCHANGE_ASCII: settings.exchangeAscii = true; break;
        case action::EXCHANGE_KANA: settings.exchangeKana = true; break;
        case action::EXCHANGE_WINDOWS: settings.exchangeWindows = true; break;
        case action::JIS_SHORT:
            setJisOutput(settings);
            settings.escapeBeforeControls = false;
            break;
        case action::WINDOWS_UNICODE: settings.windowsUnicode = true; break;
        default: break;  // action::IGNORE
    }
    return OptionWord::SETTING;
}

bool applyOptionWords(std::string_view text, CodecSettings& settings, bool& check) {
    constexpr std::string_view blanks = " \t\n\r\f\v";
    std::string word;
    for (std::size_t at = text.find_first_not_of(blanks); at != std::string_view::npos;
         at = text.find_first_not_of(blanks, at)) {
        const std::size_t end = std::min(text.find_first_of(blanks, at), text.size());
        word.assign(text.substr(at, end - at));
        at = end;
        if (word.size() < 2 || word[0] != '-') return false;  // a file name, or the standard input
        const OptionWord kind = applyOptionWord(settings, word.c_str() + 1);
        if (kind == OptionWord::CHECK)
            check = true;
        else if (kind != OptionWord::SETTING)
            return false;
    }
    return true;
}

}  // namespace zekt
