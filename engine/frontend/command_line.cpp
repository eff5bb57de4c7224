// run, the command-line walk and its messages.
#include <cstring>
#include <string_view>

#include "converter.h"
#include "option_tables.h"
#include "option_words.h"

namespace zekt {
namespace {

// What zekt calls an option that nkf or iconv spells so; nullptr if none.
const char* hintFor(std::string_view option) {
    const std::string_view spelling = option.substr(0, option.find('='));
    for (const OptionHint& hint : optionHints)
        if (hint.spelling == spelling) return hint.use;
    return nullptr;
}

}  // namespace

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
            switch (applyOptionWord(*this, arg + 1)) {
                case OptionWord::UNKNOWN: reportOptionError(arg); return -1;
                case OptionWord::NEXT_IS_FILE: nextIsFile = true; break;
                case OptionWord::REST_ARE_FILES: restAreFiles = true; break;
                case OptionWord::CHECK: checkOnly = check = true; break;
                case OptionWord::HELP:
                    print(0, "%s\n", bannerText);
                    print(0, "%s", usageText);
                    return status();
                case OptionWord::VERSION: print(0, "%s", bannerText); return status();
                case OptionWord::VERSION_LINE: print(0, "%s\n", bannerText); return status();
                case OptionWord::OVERWRITE: overwrite = true; break;
                case OptionWord::SETTING: break;
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
    optionError_ = true;
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
