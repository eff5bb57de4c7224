// The programs' front end over libzekt: files opened, converted through the
// C API, written or put in place, and reported. Both programs use it as it
// is; they give it a printer for its messages.
#pragma once

#include <sys/stat.h>

#include <atomic>
#include <cstdint>
#include <cstdio>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "command_line.h"
#include "file_place.h"
#include "file_replacement.h"
#include "replacement_batch.h"
#include "zekt/zekt.hpp"

namespace zekt {

// Results of the stream operations (codes of the fileErrors table).
enum FileError : int {
    NO_SUCH_FILE = 1,
    CANNOT_OPEN = 2,
    NO_STREAM = 5,
    CANNOT_WRITE = 6,
    CANNOT_READ = 7,
    NOT_REGULAR = 8,
    CHANGED_MEANWHILE = 9,
    OUT_OF_MEMORY = 10,
    INPUT_IS_OUTPUT = 11,
    FOREIGN_LINK = 12,
    UNRESOLVED_LINK = 13,
    CANCELLED = 14,
    OUTPUT_EXISTS = 15,
};

// Results of a pass over one file (codes of the convertErrors table, and
// the two that have their own messages).
enum PassOutcome : int {
    PASS_DONE = 0,
    PASS_NO_MEMORY = 1,
    PASS_NOT_TEXT = 2,
    PASS_WRITE_FAILED = 4,
    PASS_CANCELLED = 8
};

// How one file fared, as processFile leaves it: a front end reads this
// rather than the messages.
struct FileResult {
    enum class Fate { NONE, DONE, REFUSED, FAILED, CANCELLED, SKIPPED };
    Fate fate = Fate::NONE;  // NONE: no file was processed
    // The first message's code: a fileErrors code, or with passError a
    // convertErrors one; 0 without a message.
    int error = 0;
    bool passError = false;
    // The system's error behind that message (errno), 0 if none.
    int systemError = 0;
    // The name the output got in its folder (an output placed by the front end).
    std::string outputName;
    std::int64_t substitutes = 0;       // written as the substitute (DONE)
    std::int64_t selectorsLeftOut = 0;  // variation selectors left out (DONE)
    // What the library found (DONE): its check text, "SJIS [CRLF] ".
    std::string checkText;
};

// The message of a FileError, as the front end prints it after "NAME: ".
const char* fileErrorText(int code);
// The message of a pass's failure (1 no memory, 2 not text).
const char* convertErrorText(int code);

// The names that messages give the standard streams.
inline constexpr const char* standardInputName = "(stdin)";
inline constexpr const char* standardOutputName = "(stdout)";

// Where a front end that places its outputs itself (freshOutputs) has the
// next named output written: a folder it opened and a name in it.
struct OutputPlace {
    UniqueFd folder;
    std::string name;
    mode_t permissionLimit = 0777;  // the output's bits never go beyond these
    // Unset: an entry at the name is replaced. Set: nothing is replaced;
    // given the name found taken, it returns another to try, or empty to
    // give the output up (OUTPUT_EXISTS).
    FileReplacement::NameTaken nameTaken;
};

class FileConverter {
public:
    // stream 1 is the error stream, anything else normal output.
    using Printer = std::function<void(int stream, std::string_view text)>;

    explicit FileConverter(Printer printer);
    FileConverter(const FileConverter&) = delete;
    FileConverter& operator=(const FileConverter&) = delete;
    virtual ~FileConverter();

    // Walks a command line (element 0 is skipped). -1 after an option
    // error, a failure that ended the run, an input not read to its end or
    // fed back by the output, or a file not written in place; otherwise 1
    // when an input was missing, could not be opened or was not text; 0.
    int run(int argc, const char* const* argv);
    // The files of a parsed line, then what ends it: run's steps, for a
    // front end that parses once and runs the line for many files.
    int runLine(const CommandLine& line);
    // What follows a line's files: the help or version text, the option
    // error, or the warning about options after the last file; run's
    // status. For a front end that walks the files itself.
    int finishLine(const CommandLine& line);
    // The settings processFile converts with: option words for the library.
    void useSettings(std::string words) { settings_ = std::move(words); }

    // Opens, converts or checks, reports and closes one input. A null name
    // stands for the standard input, a null or empty output for the
    // standard output.
    virtual void processFile(bool check, const char* inputName, const char* outputName);

    // The place of the next named output, with freshOutputs (which needs
    // one for each).
    void placeNextOutput(OutputPlace place) { nextOutput_ = std::move(place); }

    // The output could not be written or memory ran out: the run stopped.
    bool fatalError() const { return fatalError_; }
    // How the last file processFile was given fared.
    const FileResult& fileResult() const { return fileResult_; }
    // Whether run met an option it does not know.
    bool optionErrorSeen() const { return optionError_; }
    // At the end of a run: writes what is still buffered for the standard
    // output (check lines, help); false, after its message, if that failed.
    bool finishStandardOutput();

    // How a front end wants files treated: inputs that are not regular
    // files (FIFOs, devices, sockets) refused without being opened, as
    // -overwrite always does; and a named output made as a new file with
    // the input's permission bits at the place given by placeNextOutput,
    // replacing a symbolic link at its name instead of writing through it.
    bool regularInputsOnly = false;
    bool freshOutputs = false;
    // A front end without a standard input: "-" is said to be unopenable
    // and counts against no file.
    bool noStandardInput = false;
    // How a front end reports: control characters in a name (which would
    // break or forge a line) shown as "?"; an option error preceded by the
    // option and, for a spelling of nkf or iconv, zekt's own.
    bool maskNames = true;
    bool explainOptionErrors = true;
    // Set from another thread, it stops the pass before the next read: the
    // file's output is abandoned and the file reported as cancelled.
    const std::atomic<bool>* cancelFlag = nullptr;
    // Called with the bytes read so far of the file in hand.
    std::function<void(std::int64_t)> onRead;
    // With freshOutputs: when set, takes each finished output, with the
    // rule for a taken name, instead of putting it in place; the front end
    // syncs it and puts it in place itself, many at once, so that one wait
    // for the disk serves them all. The file's result names its planned
    // place.
    std::function<void(std::unique_ptr<FileReplacement>, FileReplacement::NameTaken)> takeFreshOutput;

protected:
    // The I/O seams, which tests replace. readBlock: up to capacity bytes
    // of the input, whatever its descriptor has (text from a pipe is
    // converted as it comes); 0 at its end, -1 on a read error.
    virtual int readBlock(std::uint8_t* data, int capacity);
    virtual void writeBlock(const std::uint8_t* data, std::size_t count);
    virtual bool outputFailed() { return writeFailed_ || (output_ != nullptr && std::ferror(output_) != 0); }
    // Whether the standard output is the regular file with this device and
    // inode.
    virtual bool standardOutputIs(dev_t device, ino_t inode);
    // Whether a named output is written to the standard output instead.
    bool writingStandardOutput() const { return output_ == stdout; }

private:
    void print(int stream, std::string_view text) { printer_(stream, text); }
    // "NAME: MESSAGE.\n" on the error stream.
    void printError(const char* name, const char* message);

    // Streams of one file. Results are fileErrors codes, 0 on success.
    // regularOnly refuses with NOT_REGULAR anything but a regular file or
    // a directory, without opening it.
    int openInput(const char* name, bool regularOnly = false);
    // The input for a conversion onto itself: a regular file, reached
    // through links only as findPlace allows, whose place the output then
    // takes.
    int openInPlace(const char* name);
    int openOutput(const char* name);
    int closeInput();
    // commit = false abandons a named output: the file it would replace
    // stays. With inPlaceName (the output is the input, shown so): the file
    // stays untouched when the new bytes equal it, and stays with
    // CHANGED_MEANWHILE when it changed since openInPlace. Inside run, the
    // new file may wait to be put in place with others; a failure then is
    // reported under that name when they are.
    int closeOutput(bool commit = true, const char* inPlaceName = nullptr);
    // Puts a fresh output at its place, or hands it to takeFreshOutput: 0,
    // OUTPUT_EXISTS or CANNOT_WRITE.
    int putFreshOutput(std::unique_ptr<FileReplacement> replacement);
    // Puts in place every new file still waiting.
    void commitReplacements();
    // One pass over the open input through the library: a PassOutcome.
    int convert(bool check);
    // The library's converter for the settings, made once for each.
    zekt_converter* converterFor(const std::string& words);

    // After a file: how many characters became the substitute, or that the
    // file was left as it was for them.
    void reportSubstitutes(const char* name, std::int64_t count, bool leftAsItWas);
    void reportSelectorsLeftOut(const char* name, std::int64_t count);
    void warnUnusedOptions(const std::vector<const char*>& options);
    void reportOptionError(const char* option);
    // What run returns for the files so far.
    int status() const;
    // A message about the file in hand, noted in its result: failed, or
    // refused, as the first failure or refusal makes it.
    void noteFileError(int code, bool passError = false, int systemError = 0);
    // The input in hand is the regular file the standard output writes to.
    bool inputIsStandardOutput();
    // For an output made after the input: its permissions, never wider.
    mode_t inputPermissions() const;
    // A file converted in place that stays as it was, as its batch found.
    void reportUnreplaced(const std::string& name, FileReplacement::Outcome outcome);
    // Takes fd over as the input.
    int adoptInput(int fd, bool regularOnly);

    Printer printer_;
    std::string settings_;
    std::string converterWords_;  // what converter_ was made with
    std::unique_ptr<Converter> converter_;
    std::unique_ptr<std::uint8_t[]> inBuffer_, outBuffer_;

    std::FILE* input_ = nullptr;
    std::FILE* output_ = nullptr;
    bool fatalError_ = false;
    bool runFailed_ = false;     // an input could not be read or an in-place file written
    bool inputSkipped_ = false;  // an input was missing, could not be opened or was not text
    bool readError_ = false;     // readBlock reported an error during the pass
    bool writeFailed_ = false;   // a direct write failed during the pass
    bool optionError_ = false;
    int writeErrno_ = 0;  // of the first failed write of the file's output
    FileResult fileResult_;
    OutputPlace nextOutput_;
    std::int64_t substitutes_ = 0;
    std::int64_t selectorsLeftOut_ = 0;
    std::string checkText_;

    // A named output, put in place only when closed with commit; null for
    // the standard output.
    std::unique_ptr<FileReplacement> replacement_;
    FolderSync folderSync_;
    struct stat inputStatus_ {};  // of the named input when opened
    FilePlace inPlace_;           // of the input opened in place, until its output is opened
    ReplacementBatch replacements_;
    bool batchReplacements_ = false;  // while run walks a command line
};

}  // namespace zekt
