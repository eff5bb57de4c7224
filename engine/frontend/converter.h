// The front end's one object: the codec with its settings, the streams of the
// file in hand, and the operations through which it reads, writes and reports.
#pragma once

#include <array>
#include <atomic>
#include <cstdint>
#include <cstdio>
#include <memory>
#include <span>
#include <string>

#include "codec.h"
#include "conversion_pass.h"
#include "file_place.h"
#include "file_replacement.h"
#include "replacement_batch.h"

#if defined(__GNUC__)
#define ZEKT_PRINTF(fmt, first) __attribute__((format(printf, fmt, first)))
#else
#define ZEKT_PRINTF(fmt, first)
#endif

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
};

// How one file fared, as processFile leaves it: a front end reads this
// rather than the messages.
struct FileResult {
    enum class Fate { NONE, DONE, REFUSED, FAILED, CANCELLED };
    Fate fate = Fate::NONE;  // NONE: no file was processed
    // The first message's code: a fileErrors code, or with passError a
    // convertErrors one; 0 without a message.
    int error = 0;
    bool passError = false;
    std::int64_t substitutes = 0;     // written as the substitute (DONE)
    CodeKind code = CodeKind::ASCII;  // detected (DONE)
    ReturnKind returnKind = ReturnKind::NONE;
    DetectReport report;
};
struct ErrorEntry {
    std::int32_t code;  // 0 ends a table
    const char* message;
};

// The message of a FileError, as the engine prints it after "NAME: ".
const char* fileErrorText(int code);
// The message of a result of convert (1 no memory, 2 not text).
const char* convertErrorText(int code);

// The names that messages give the standard streams.
inline constexpr const char* standardInputName = "(stdin)";
inline constexpr const char* standardOutputName = "(stdout)";

// A front end derives from it, provides the byte and text operations, and
// calls run() with a command line.
class Converter : public Codec {
public:
    Converter();
    Converter(const Converter&) = delete;
    Converter& operator=(const Converter&) = delete;

    // The next input byte 0..255, or -1 at the end (or on a read error).
    virtual int readByte() = 0;
    // Writes the low 8 bits of c.
    virtual void writeByte(int c) = 0;
    // Stream 1 is the error stream, anything else normal output.
    virtual void print(int stream, const char* format, ...) ZEKT_PRINTF(3, 4) = 0;
    // Opens, converts or checks, reports and closes one input. A null name
    // stands for the standard stream.
    virtual void processFile(bool check, const char* inputName, const char* outputName);

    // Block operations beside the byte ones; the defaults loop over
    // readByte and writeByte, so a front end need not provide them.
    // readBlock: up to capacity bytes; the number read, which may be fewer
    // before the end, 0 at the end of the input, or -1 on a read error.
    virtual int readBlock(std::uint8_t* data, int capacity);
    void writeBlock(const std::uint8_t* data, int count) override;
    // Whether a byte read has failed (not just ended): a pass stops at the
    // first block after which it has (Codec::outputFailed, the output).
    virtual bool inputFailed() { return false; }
    // Whether the standard output is the regular file with this device and
    // inode. A front end without a standard output has none.
    virtual bool standardOutputIs(dev_t, ino_t) { return false; }

    virtual ~Converter();

    // Walks a command line (element 0 is skipped). -1 after an option
    // error, a failure that ended the run, an input not read to its end or
    // fed back by the output, or a file not written in place; otherwise 1
    // when an input was missing, could not be opened or was not text; 0.
    int run(int argc, const char* const* argv);
    // The output could not be written or memory ran out: the run stopped.
    bool fatalError() const { return fatalError_; }
    // How many characters the last pass wrote as the substitute because the
    // output code has none for them (or the input was ill-formed).
    std::int64_t substitutesWritten() const { return substitutes_; }
    // How the last file processFile was given fared.
    const FileResult& fileResult() const { return fileResult_; }
    // Whether run met an option it does not know.
    bool optionErrorSeen() const { return optionError_; }

    // Settings of the front end beside the codec's.
    bool checkOnly = false;
    std::FILE* input = nullptr;
    std::FILE* output = nullptr;
    // How a front end wants files treated: inputs that are not regular
    // files (FIFOs, devices, sockets) refused without being opened, as
    // -overwrite always does; and a named output made as a new file with
    // the input's permission bits, replacing a symbolic link at its name
    // instead of writing through it.
    bool regularInputsOnly = false;
    bool freshOutputs = false;
    // How a front end reports: control characters in a name (which would
    // break or forge a line) shown as "?"; an option error preceded by the
    // option and, for a spelling of nkf or iconv, zekt's own.
    bool maskNames = true;
    bool explainOptionErrors = true;
    // Set from another thread, it stops the pass after the block in hand:
    // the file's output is abandoned and the file reported as cancelled.
    const std::atomic<bool>* cancelFlag = nullptr;

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
    // Puts in place every new file still waiting.
    void commitReplacements();

    // One pass over the open input: 0 done, 1 no memory, 2 not text,
    // 4 the output failed. The out-places may be null; they are written
    // only on success.
    int convert(CodeKind* detectedCode, ReturnKind* detectedReturn, DetectReport* report);

    // Fills the rest of a block through readByte: the plain path's read.
    int fillBlock(InputBuffer& buffer);

private:
    // After a file: how many characters became the substitute, or that the
    // file was left as it was for them.
    void reportSubstitutes(const char* name, std::int64_t count, bool leftAsItWas);
    void warnUnusedOptions(std::span<const char* const> options);
    void reportOptionError(const char* option);
    // What run returns for the files so far.
    int status() const;
    // A message about the file in hand, noted in its result: failed, or
    // refused, as the first failure or refusal makes it.
    void noteFileError(int code, bool passError = false);
    // The input in hand is the regular file the standard output writes to.
    bool inputIsStandardOutput();

    bool fatalError_ = false;
    bool runFailed_ = false;     // an input could not be read or an in-place file written
    bool inputSkipped_ = false;  // an input was missing, could not be opened or was not text
    bool readError_ = false;     // readBlock reported an error during the pass
    bool optionError_ = false;
    FileResult fileResult_;
    std::int64_t substitutes_ = 0;

    // For an output made after the input: its permissions, never wider.
    mode_t inputPermissions() const;
    // A file converted in place that stays as it was, as its batch found.
    void reportUnreplaced(const std::string& name, FileReplacement::Outcome outcome);
    // Takes fd over as the input.
    int adoptInput(int fd, bool regularOnly);
    // The command line's walk; run commits the waiting files after it.
    int runCommandLine(int argc, const char* const* argv);

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
