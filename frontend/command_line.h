// zekt's command line as typed values: the files in order, each with the
// settings that hold for it, and how the line ends. Setting words are the
// library's; the words that only a command line takes are read here.
#pragma once

#include <span>
#include <string>
#include <vector>

namespace zekt {

struct CommandLine {
    struct File {
        const char* name;      // nullptr: the standard input
        std::string settings;  // the setting words before it, for zekt_converter_new
        bool check = false;    // -c before it
        bool overwrite = false;
    };
    // What follows the files: nothing more, the help or version text, or
    // an option error at badOption (the files before it are converted).
    enum class End { FILES, HELP, VERSION, VERSION_LINE, OPTION_ERROR };

    std::vector<File> files;
    End end = End::FILES;
    const char* badOption = nullptr;
    // The settings after the last word, for a file a front end adds.
    File after{nullptr, {}, false, false};
    // Options after the last file name, which apply to no file.
    std::vector<const char*> unused;

    // The line with one more file after its words, as if named last.
    CommandLine withFile(const char* name) const;
};

// Parses the words of a command line (without the program's name).
CommandLine parseCommandLine(std::span<const char* const> words);

// Whether the library takes word (with its dash) as a setting.
bool isSettingWord(const char* word);

}  // namespace zekt
