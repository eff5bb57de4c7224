// The command line: its words as typed values, and run, which walks them.
#include "command_line.h"

#include <cstring>
#include <string_view>

#include "file_converter.h"
#include "usage_text.h"
#include "zekt/zekt.h"

namespace zekt {
namespace {

// The words that only a command line takes (without their first dash).
enum class LineWord { NONE, CHECK, NEXT_IS_FILE, REST_ARE_FILES, HELP, VERSION, VERSION_LINE, OVERWRITE };

LineWord lineWord(std::string_view name) {
    struct Entry {
        std::string_view name;
        LineWord word;
    };
    static constexpr Entry words[] = {
        {"c", LineWord::CHECK},
        {"f", LineWord::NEXT_IS_FILE},
        {"-", LineWord::REST_ARE_FILES},
        {"h", LineWord::HELP},
        {"help", LineWord::HELP},
        {"-help", LineWord::HELP},
        {"v", LineWord::VERSION},
        {"version", LineWord::VERSION},
        {"-version", LineWord::VERSION_LINE},
        {"overwrite", LineWord::OVERWRITE},
    };
    for (const Entry& entry : words)
        if (entry.name == name) return entry.word;
    return LineWord::NONE;
}

// What zekt calls an option that nkf or iconv spells so; nullptr if none.
const char* hintFor(std::string_view option) {
    const std::string_view spelling = option.substr(0, option.find('='));
    for (const OptionHint& hint : optionHints)
        if (hint.spelling == spelling) return hint.use;
    return nullptr;
}

}  // namespace

bool isSettingWord(const char* word) {
    // The library splits its text at blanks; one word of a command line
    // holding a blank is no option.
    if (word[0] != '-' || std::strpbrk(word, " \t\n\r\f\v") != nullptr) return false;
    zekt_converter* probe = nullptr;
    const int status = zekt_converter_new(word, &probe);
    zekt_converter_free(probe);
    // Short of memory the word cannot be told; the file's own converter
    // then fails as the pass would, with the file's message.
    return status != ZEKT_ERROR_OPTION;
}

CommandLine parseCommandLine(std::span<const char* const> words) {
    CommandLine line;
    CommandLine::File& now = line.after;
    bool nextIsFile = false, restAreFiles = false;
    std::size_t afterLastFile = words.size();  // none: nothing is left over
    for (std::size_t i = 0; i < words.size(); ++i) {
        const char* word = words[i];
        const bool fileName = nextIsFile || restAreFiles;
        const bool standardInput = !fileName && std::strcmp(word, "-") == 0;
        if (word[0] == '-' && !fileName && !standardInput) {
            switch (lineWord(word + 1)) {
                case LineWord::CHECK: now.check = true; break;
                case LineWord::NEXT_IS_FILE: nextIsFile = true; break;
                case LineWord::REST_ARE_FILES: restAreFiles = true; break;
                case LineWord::OVERWRITE: now.overwrite = true; break;
                case LineWord::HELP: line.end = CommandLine::End::HELP; return line;
                case LineWord::VERSION: line.end = CommandLine::End::VERSION; return line;
                case LineWord::VERSION_LINE: line.end = CommandLine::End::VERSION_LINE; return line;
                case LineWord::NONE:
                    if (!isSettingWord(word)) {
                        line.end = CommandLine::End::OPTION_ERROR;
                        line.badOption = word;
                        return line;
                    }
                    now.settings += now.settings.empty() ? "" : " ";
                    now.settings += word;
                    break;
            }
            continue;
        }
        line.files.push_back({standardInput ? nullptr : word, now.settings, now.check, now.overwrite});
        afterLastFile = i + 1;
        nextIsFile = false;
    }
    // An option meant for the file before it, as other tools read it, would
    // otherwise go unnoticed.
    line.unused.assign(words.begin() + static_cast<std::ptrdiff_t>(afterLastFile), words.end());
    return line;
}

CommandLine CommandLine::withFile(const char* name) const {
    CommandLine line = *this;
    if (line.end != End::FILES) return line;
    line.files.push_back(after);
    line.files.back().name = name;
    line.unused.clear();
    return line;
}

int FileConverter::run(int argc, const char* const* argv) {
    const CommandLine line = parseCommandLine({argv + std::min(argc, 1), argv + argc});
    batchReplacements_ = true;
    const int walked = runLine(line);
    batchReplacements_ = false;
    commitReplacements();
    return walked < 0 ? walked : status();
}

int FileConverter::runLine(const CommandLine& line) {
    for (const CommandLine::File& file : line.files) {
        useSettings(file.settings);
        // A check never writes, so it leaves even -overwrite's files alone.
        processFile(file.check, file.name, file.overwrite && !file.check ? file.name : nullptr);
        if (fatalError_) return -1;
    }
    if (line.end == CommandLine::End::FILES && line.files.empty()) {
        useSettings(line.after.settings);
        processFile(line.after.check, nullptr, nullptr);
        return status();
    }
    return finishLine(line);
}

int FileConverter::finishLine(const CommandLine& line) {
    switch (line.end) {
        case CommandLine::End::OPTION_ERROR: reportOptionError(line.badOption); return -1;
        case CommandLine::End::HELP: print(0, std::string(bannerText) + "\n" + usageText); return status();
        case CommandLine::End::VERSION: print(0, bannerText); return status();
        case CommandLine::End::VERSION_LINE: print(0, std::string(bannerText) + "\n"); return status();
        case CommandLine::End::FILES: break;
    }
    if (!line.unused.empty()) warnUnusedOptions(line.unused);
    return status();
}

int FileConverter::status() const {
    if (fatalError_ || runFailed_) return -1;
    return inputSkipped_ ? 1 : 0;
}

void FileConverter::reportOptionError(const char* option) {
    optionError_ = true;
    if (explainOptionErrors) {
        print(1, std::string(unknownOptionText) + " " + option + "\n");
        if (const char* use = hintFor(option)) print(1, std::string(optionHintText) + " " + use + "\n");
    }
    print(1, optionErrorText);
}

void FileConverter::warnUnusedOptions(const std::vector<const char*>& options) {
    std::string text = unusedOptionsText;
    for (const char* option : options) text += std::string(" ") + option;
    print(1, text + "\n");
}

}  // namespace zekt
