// run, the command-line walk, and matchOption, the value options.
#include <cstring>
#include <string_view>

#include "converter.h"
#include "option_tables.h"

namespace zekt {
namespace {

// What zekt calls an option that nkf or iconv spells so; nullptr if none.
const char* hintFor(std::string_view option) {
    const std::string_view spelling = option.substr(0, option.find('='));
    for (const OptionHint& hint : optionHints)
        if (hint.spelling == spelling) return hint.use;
    return nullptr;
}

// The entry whose name equals name, or nullptr; a table ends at a null name.
const OptionEntry* findOption(const OptionEntry* table, const char* name) {
    for (; table->name != nullptr; ++table)
        if (std::strcmp(table->name, name) == 0) return table;
    return nullptr;
}

void applyJisMode(Converter& conv, JisMode mode) {
    conv.outputCode = CodeKind::JIS;
    switch (mode) {
        case JisMode::KANA7:
        case JisMode::KANA8:
        case JisMode::SISO: conv.jisKanaMode = mode; break;
        case JisMode::ASCII:
        case JisMode::ROMAJI:
            // Leaving NEC through the single-byte group takes kanji back to 1983.
            if (conv.jisAsciiMode == JisMode::NEC) conv.jisKanjiMode = JisMode::KANJI1983;
            conv.jisAsciiMode = mode;
            break;
        case JisMode::KANJI1978:
        case JisMode::KANJI1983:
            if (conv.jisKanjiMode == JisMode::NEC) conv.jisAsciiMode = JisMode::ASCII;
            conv.jisKanjiMode = mode;
            break;
        case JisMode::NEC:
            conv.jisAsciiMode = JisMode::NEC;
            conv.jisKanjiMode = JisMode::NEC;
            break;
        default: break;
    }
}

}  // namespace

bool Converter::matchOption(const char* name) {
    bool matched = false;
    if (const OptionEntry* e = findOption(outputCodeOptions, name)) {
        outputCode = static_cast<CodeKind>(e->value & ~withBom);
        outputBom = (e->value & withBom) != 0;
        matched = true;
    }
    if (const OptionEntry* e = findOption(returnOptions, name)) {
        outputReturn = static_cast<ReturnKind>(e->value);
        matched = true;
    }
    if (const OptionEntry* e = findOption(jisModeOptions, name)) {
        applyJisMode(*this, static_cast<JisMode>(e->value));
        matched = true;
    }
    if (const OptionEntry* e = findOption(inputCodeOptions, name)) {
        inputCode = static_cast<CodeKind>(e->value & ~withBom);
        inputMarkDecides = (e->value & withBom) != 0;
        return true;
    }
    return matched;
}

int Converter::run(int argc, const char* const* argv) {
    batchReplacements_ = true;
    const int walked = runCommandLine(argc, argv);
    batchReplacements_ = false;
    commitReplacements();
    return walked < 0 ? walked : status();
}

int Converter::runCommandLine(int argc, const char* const* argv) {
    int fileCount = 0;
    int lastFile = 0;
    bool check = false;
    bool nextIsFile = false;
    bool restAreFiles = false;
    bool overwrite = false;
    for (int i = 1; i < argc; ++i) {
        const char* arg = argv[i];
        const bool fileName = nextIsFile || restAreFiles;
        const bool standardInput = !fileName && std::strcmp(arg, "-") == 0;
        if (arg[0] == '-' && !fileName && !standardInput) {
            const char* name = arg + 1;
            const OptionEntry* special = findOption(specialOptions, name);
            if (special == nullptr) {
                if (!matchOption(name)) {
                    reportOptionError(arg);
                    return -1;
                }
                continue;
            }
            switch (special->value) {
                case action::NEXT_IS_FILE: nextIsFile = true; break;
                case action::REST_ARE_FILES: restAreFiles = true; break;
                case action::CHECK: checkOnly = check = true; break;
                case action::NO_BINARY_CHECK: binaryCheck = false; break;
                case action::EXCHANGE_ASCII: exchangeAscii = true; break;
                case action::EXCHANGE_KANA: exchangeKana = true; break;
                case action::EXCHANGE_WINDOWS: exchangeWindows = true; break;
                case action::JIS_SHORT:
                    outputCode = CodeKind::JIS;
                    escapeBeforeControls = false;
                    break;
                case action::HELP:
                    print(0, "%s\n", bannerText);
                    print(0, "%s", usageText);
                    return status();
                case action::VERSION: print(0, "%s", bannerText); return status();
                case action::VERSION_LINE: print(0, "%s\n", bannerText); return status();
                case action::OVERWRITE: overwrite = true; break;
                case action::WINDOWS_UNICODE: windowsUnicode = true; break;
                default: break;  // action::IGNORE
            }
            continue;
        }
        ++fileCount;
        lastFile = i;
        const char* name = standardInput ? nullptr : arg;
        // A check never writes, so it leaves even -overwrite's files alone.
        processFile(check, name, overwrite && !check ? name : nullptr);
        nextIsFile = false;
        if (fatalError_) return -1;
    }
    if (fileCount == 0) processFile(check, nullptr, nullptr);
    // An option meant for the file before it, as other tools read it, would
    // otherwise go unnoticed.
    else if (lastFile < argc - 1)
        warnUnusedOptions({argv + lastFile + 1, argv + argc});
    return status();
}

int Converter::status() const {
    if (fatalError_ || runFailed_) return -1;
    return inputSkipped_ ? 1 : 0;
}

void Converter::reportOptionError(const char* option) {
    if (explainOptionErrors) {
        print(1, "%s %s\n", unknownOptionText, option);
        if (const char* use = hintFor(option)) print(1, "%s %s\n", optionHintText, use);
    }
    print(1, "%s", optionErrorText);
}

void Converter::warnUnusedOptions(std::span<const char* const> options) {
    print(1, "%s", unusedOptionsText);
    for (const char* option : options) print(1, " %s", option);
    print(1, "\n");
}

}  // namespace zekt
