// processFile: opening, converting or checking, reporting and closing one
// input; the stream operations it uses; the message tables.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <new>
#include <string>
#include <string_view>

#include "file_converter.h"

namespace zekt {
namespace {

struct ErrorEntry {
    std::int32_t code;  // 0 ends a table
    const char* message;
};

constexpr ErrorEntry convertErrors[] = {
    {PASS_NO_MEMORY, "No enough memory"},
    {PASS_NOT_TEXT, "Not a text file"},
    {0, nullptr},
};

constexpr ErrorEntry fileErrors[] = {
    {NO_SUCH_FILE, "No such a file"},
    {CANNOT_OPEN, "Cannot open a file"},
    {NO_STREAM, "Cannot close a file"},
    {CANNOT_WRITE, "Cannot write a file"},
    {CANNOT_READ, "Cannot read a file"},
    {NOT_REGULAR, "Not a regular file"},
    {CHANGED_MEANWHILE, "Changed while being converted; left as it was"},
    {OUT_OF_MEMORY, "No enough memory"},
    {INPUT_IS_OUTPUT, "Input file is output file"},
    {FOREIGN_LINK, "Link owned by another user; left as it was"},
    {UNRESOLVED_LINK, "Cannot open a file"},
    {CANCELLED, "Cancelled"},
    {OUTPUT_EXISTS, "Output exists; skipped"},
    {0, nullptr},
};

const char* messageFor(const ErrorEntry* table, int code) {
    for (; table->code != 0; ++table)
        if (table->code == code) return table->message;
    return "";
}

bool isNamed(const char* name) { return name != nullptr && name[0] != '\0'; }

constexpr bool isControl(char c) { return static_cast<unsigned char>(c) < 0x20 || c == 0x7F; }

// A name as messages and check lines show it: with mask, a control
// character (a line feed, a tab, ESC), which would break the line or forge
// another, becomes "?". Other names are not copied.
class ShownName {
public:
    ShownName(const char* name, bool mask) : name_(name) {
        const std::string_view text(name);
        if (!mask || std::ranges::none_of(text, isControl)) return;
        masked_ = text;
        std::ranges::replace_if(masked_, isControl, '?');
    }
    const char* c_str() const { return masked_.empty() ? name_ : masked_.c_str(); }

private:
    const char* name_;
    std::string masked_;
};

int openFailure(int error) { return error == ENOMEM ? OUT_OF_MEMORY : CANNOT_OPEN; }

// Runs its action when left by an exception: processFile's streams are
// closed and a named output abandoned when a front-end operation throws.
template <typename Action>
class OnThrow {
public:
    explicit OnThrow(Action action) : action_(std::move(action)) {}
    OnThrow(const OnThrow&) = delete;
    OnThrow& operator=(const OnThrow&) = delete;
    ~OnThrow() {
        if (armed_) action_();
    }
    void release() { armed_ = false; }

private:
    Action action_;
    bool armed_ = true;
};

}  // namespace

const char* fileErrorText(int code) { return messageFor(fileErrors, code); }

const char* convertErrorText(int code) { return messageFor(convertErrors, code); }

FileConverter::FileConverter(Printer printer) : printer_(std::move(printer)) {}
FileConverter::~FileConverter() = default;

void FileConverter::printError(const char* name, const char* message) {
    print(1, std::string(name) + ": " + message + ".\n");
}

// Only a regular file: a terminal or /dev/null read and written at once
// feeds nothing back.
bool FileConverter::standardOutputIs(dev_t device, ino_t inode) {
    struct stat st {};
    return fstat(fileno(stdout), &st) == 0 && S_ISREG(st.st_mode) && st.st_dev == device &&
           st.st_ino == inode;
}

bool FileConverter::finishStandardOutput() {
    if (std::fflush(stdout) == 0 && std::ferror(stdout) == 0) return true;
    printError(standardOutputName, fileErrorText(CANNOT_WRITE));
    return false;
}

// A file waiting to be replaced (named twice, or by another of its names)
// is read in its new version, as it would be had it been replaced at once.
int FileConverter::openInput(const char* name, bool regularOnly) {
    if (name == nullptr) {
        input_ = stdin;
        return 0;
    }
    struct stat st {};
    if (stat(name, &st) != 0) return errno == ENOENT || errno == ENOTDIR ? NO_SUCH_FILE : CANNOT_OPEN;
    if (S_ISDIR(st.st_mode)) {  // fopen would accept it here
        errno = EISDIR;
        return CANNOT_OPEN;
    }
    if (regularOnly && !S_ISREG(st.st_mode)) return NOT_REGULAR;
    if (replacements_.replaces(st.st_dev, st.st_ino)) commitReplacements();
    // Not blocking, in case a FIFO took the file's place since the stat.
    const int fd = open(name, O_RDONLY | O_CLOEXEC | (regularOnly ? O_NONBLOCK : 0));
    return fd < 0 ? openFailure(errno) : adoptInput(fd, regularOnly);
}

int FileConverter::openInPlace(const char* name) {
    inPlace_ = {};
    switch (findPlace(name, inPlace_)) {
        case PlaceLookup::FOUND: break;
        case PlaceLookup::MISSING: return NO_SUCH_FILE;
        case PlaceLookup::INACCESSIBLE: return CANNOT_OPEN;
        case PlaceLookup::FOREIGN_LINK: return FOREIGN_LINK;
        case PlaceLookup::UNRESOLVED: return UNRESOLVED_LINK;
    }
    const struct stat& st = inPlace_.entry;
    if (S_ISDIR(st.st_mode)) return CANNOT_OPEN;
    if (!S_ISREG(st.st_mode)) return NOT_REGULAR;
    if (replacements_.replaces(st.st_dev, st.st_ino)) commitReplacements();
    const int fd =
        openat(inPlace_.folder.get(), inPlace_.name.c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK);
    return fd < 0 ? openFailure(errno) : adoptInput(fd, true);
}

int FileConverter::adoptInput(int fd, bool regularOnly) {
    struct stat st {};
    const bool known = fstat(fd, &st) == 0;
    const int refused = !known || S_ISDIR(st.st_mode)         ? CANNOT_OPEN
                        : regularOnly && !S_ISREG(st.st_mode) ? NOT_REGULAR
                                                              : 0;
    if (refused != 0) {
        close(fd);
        return refused;
    }
    // O_NONBLOCK, if set, stays: a regular file reads alike with it.
    std::FILE* file = fdopen(fd, "rb");
    if (file == nullptr) {
        const int error = errno;
        close(fd);
        return openFailure(error);
    }
    input_ = file;
    inputStatus_ = st;
    return 0;
}

// A named output is written to a hidden file beside it and put in place by
// closeOutput, so that a failed pass never destroys the old file.
int FileConverter::openOutput(const char* name) {
    if (!isNamed(name)) {
        output_ = stdout;
        return 0;
    }
    FilePlace place;
    struct stat st {};
    bool exists = false;
    UniqueFd original;  // what the new file takes its metadata from
    if (freshOutputs) {
        // A link at the name is replaced, not written through.
        if (!nextOutput_.folder) return CANNOT_OPEN;
        place.folder = std::move(nextOutput_.folder);
        place.name = std::move(nextOutput_.name);
        exists = !nextOutput_.nameTaken &&
                 fstatat(place.folder.get(), place.name.c_str(), &st, AT_SYMLINK_NOFOLLOW) == 0;
    } else if (inPlace_.folder) {
        place = std::move(inPlace_);
        exists = true;
        st = inputStatus_;
        original.reset(fcntl(fileno(input_), F_DUPFD_CLOEXEC, 0));
    } else {
        const PlaceLookup found = findPlace(name, place);
        if (found == PlaceLookup::FOREIGN_LINK) return FOREIGN_LINK;
        if (found == PlaceLookup::UNRESOLVED) return UNRESOLVED_LINK;
        if (!place.folder) return CANNOT_OPEN;
        exists = found == PlaceLookup::FOUND;
        if (exists)
            original.reset(openat(place.folder.get(), place.name.c_str(),
                                  O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC));
        if (exists && (!original || fstat(original.get(), &st) != 0)) return CANNOT_OPEN;
    }
    if (!place.folder) return openFailure(errno);
    if (exists && S_ISDIR(st.st_mode)) {
        errno = EISDIR;
        return CANNOT_OPEN;
    }
    if (exists && !S_ISLNK(st.st_mode) && faccessat(place.folder.get(), place.name.c_str(), W_OK, 0) != 0)
        return CANNOT_OPEN;
    auto replacement = std::make_unique<FileReplacement>();
    // A new file gets the usual 0666 less the umask; one made after the
    // input, the input's permissions less the umask; a replaced one starts
    // private and takes over what the old one had.
    const mode_t mode = freshOutputs ? inputPermissions() & nextOutput_.permissionLimit
                        : exists     ? 0600
                                     : 0666;
    if (!replacement->create(std::move(place.folder), std::move(place.name), mode)) return openFailure(errno);
    if (!freshOutputs && exists && !replacement->keepMetadata(std::move(original), st)) return CANNOT_OPEN;
    std::FILE* file = replacement->openStream();
    if (file == nullptr) return openFailure(errno);
    output_ = file;
    replacement_ = std::move(replacement);
    return 0;
}

mode_t FileConverter::inputPermissions() const {
    struct stat st {};
    if (input_ == nullptr || input_ == stdin || fstat(fileno(input_), &st) != 0) return 0666;
    return effectivePermissions(fileno(input_), st.st_mode & 0777);
}

bool FileConverter::inputIsStandardOutput() {
    struct stat st {};
    return fstat(fileno(input_), &st) == 0 && standardOutputIs(st.st_dev, st.st_ino);
}

int FileConverter::closeInput() {
    if (input_ == nullptr) return NO_STREAM;
    if (input_ != stdin) std::fclose(input_);
    input_ = nullptr;
    return 0;
}

int FileConverter::closeOutput(bool commit, const char* inPlaceName) {
    inPlace_ = {};
    if (output_ == nullptr) return NO_STREAM;
    std::FILE* stream = output_;
    output_ = nullptr;
    bool failed = std::fflush(stream) != 0 || std::ferror(stream) != 0 || writeFailed_;
    if (failed && writeErrno_ == 0) writeErrno_ = errno;
    failed = (stream != stdout && std::fclose(stream) != 0) || failed;
    if (failed && writeErrno_ == 0) writeErrno_ = errno;
    if (stream == stdout) return failed ? CANNOT_WRITE : 0;
    std::unique_ptr<FileReplacement> replacement = std::move(replacement_);
    // Nothing to change: the file stays as it is, times and all.
    if (!commit || failed || (inPlaceName != nullptr && replacement->sameAsOriginal()))
        return failed ? CANNOT_WRITE : 0;
    if (inPlaceName != nullptr && batchReplacements_) {
        replacements_.add({std::move(replacement), FileIdentity::of(inputStatus_), inPlaceName}, folderSync_,
                          [this](const std::string& name, auto outcome) { reportUnreplaced(name, outcome); });
        return 0;
    }
    if (freshOutputs) return putFreshOutput(std::move(replacement));
    if (!replacement->sync()) {
        writeErrno_ = errno;
        return CANNOT_WRITE;
    }
    const FileIdentity expected = FileIdentity::of(inputStatus_);
    switch (replacement->commit(inPlaceName != nullptr ? &expected : nullptr, folderSync_)) {
        case FileReplacement::Outcome::REPLACED: return 0;
        case FileReplacement::Outcome::CHANGED_MEANWHILE: return CHANGED_MEANWHILE;
        default: return CANNOT_WRITE;
    }
}

int FileConverter::putFreshOutput(std::unique_ptr<FileReplacement> replacement) {
    FileReplacement::NameTaken nameTaken = std::move(nextOutput_.nameTaken);
    nextOutput_ = {};
    fileResult_.outputName = replacement->name();
    if (takeFreshOutput) {
        takeFreshOutput(std::move(replacement), std::move(nameTaken));
        return 0;
    }
    if (!replacement->sync()) {
        writeErrno_ = errno;
        return CANNOT_WRITE;
    }
    const auto outcome = nameTaken ? replacement->commitBeside(folderSync_, nameTaken)
                                   : replacement->commit(nullptr, folderSync_);
    if (outcome == FileReplacement::Outcome::NAME_TAKEN) return OUTPUT_EXISTS;
    if (outcome != FileReplacement::Outcome::REPLACED) {
        writeErrno_ = errno;
        return CANNOT_WRITE;
    }
    fileResult_.outputName = replacement->name();
    return 0;
}

void FileConverter::commitReplacements() {
    replacements_.commit(folderSync_,
                         [this](const std::string& name, auto outcome) { reportUnreplaced(name, outcome); });
}

void FileConverter::reportUnreplaced(const std::string& name, FileReplacement::Outcome outcome) {
    const bool changed = outcome == FileReplacement::Outcome::CHANGED_MEANWHILE;
    printError(name.c_str(), messageFor(fileErrors, changed ? CHANGED_MEANWHILE : CANNOT_WRITE));
    runFailed_ = true;
}

// Exhausted memory anywhere (the front end's strings too) ends the run as
// the pass's own failure to get its buffer does; the streams are closed and
// a named output abandoned on the way out.
void FileConverter::processFile(bool check, const char* inputName, const char* outputName) try {
    if (inputName == nullptr && noStandardInput) {
        printError(standardInputName, fileErrorText(CANNOT_OPEN));
        return;
    }
    const ShownName shownInput(inputName ? inputName : standardInputName, maskNames);
    const ShownName shownOutput(isNamed(outputName) ? outputName : standardOutputName, maskNames);
    const char* inputDisplay = shownInput.c_str();
    const char* outputDisplay = shownOutput.c_str();
    // A file converted onto itself (-overwrite) stays untouched when nothing
    // changes, and a failure to write it spoils that file only, not the run.
    const bool inPlace =
        isNamed(outputName) && inputName != nullptr && std::strcmp(inputName, outputName) == 0;
    fileResult_ = FileResult{};
    fileResult_.fate = FileResult::Fate::DONE;

    // The input is opened first so that a missing input leaves a named
    // output untouched; a check never creates or empties a named output.
    // In place, only a regular file: a FIFO or a device would be replaced
    // by a regular file.
    errno = 0;
    int code = inPlace ? openInPlace(inputName) : openInput(inputName, regularInputsOnly);
    if (code != 0) {
        const int error = errno;
        printError(inputDisplay, messageFor(fileErrors, code));
        noteFileError(code, false, error);
        if (code == OUT_OF_MEMORY) fatalError_ = true;
        if ((code == NOT_REGULAR && inPlace) || code == FOREIGN_LINK || code == UNRESOLVED_LINK)
            runFailed_ = true;
        inputSkipped_ = true;  // status 1, unless the above makes it -1
        return;
    }
    // Appended to itself, a file would grow until the disk is full.
    if (!check && !isNamed(outputName) && inputIsStandardOutput()) {
        closeInput();
        printError(inputDisplay, messageFor(fileErrors, INPUT_IS_OUTPUT));
        noteFileError(INPUT_IS_OUTPUT);
        runFailed_ = true;
        return;
    }
    const bool writesOutput = !(check && isNamed(outputName));
    writeErrno_ = 0;
    errno = 0;
    if (writesOutput && (code = openOutput(outputName)) != 0) {
        const int error = errno;
        const bool noMemory = code == OUT_OF_MEMORY;
        const int shown = inPlace && !noMemory ? CANNOT_WRITE : code;
        printError(outputDisplay, messageFor(fileErrors, shown));
        noteFileError(shown, false, error);
        if (inPlace) runFailed_ = true;
        if (noMemory) fatalError_ = true;
        inputSkipped_ = true;
        closeInput();
        return;
    }
    OnThrow streams([this] {
        closeInput();
        closeOutput(false);
    });

    const int result = convert(check);
    const bool readFailed = readError_;

    streams.release();
    closeInput();
    // Before the output is closed, so that its flush carries the line and
    // the check lines and the error messages stay in order.
    if (result == 0 && !readFailed && check) {
        print(0, std::string(inputDisplay) + ": " + checkText_ + "\n");
    }
    // In place, a character lost is the file's loss: it stays as it was.
    const std::int64_t substitutes = check || result != PASS_DONE ? 0 : substitutes_;
    const std::int64_t selectors = check || result != PASS_DONE ? 0 : selectorsLeftOut_;
    const bool lossy = inPlace && substitutes + selectors > 0;
    const int closed =
        writesOutput ? closeOutput(result == 0 && !readFailed && !lossy, inPlace ? outputDisplay : nullptr)
                     : 0;
    const bool writeFailed = result == PASS_WRITE_FAILED || closed == CANNOT_WRITE;

    if (result == PASS_NO_MEMORY || result == PASS_NOT_TEXT) {
        printError(inputDisplay, messageFor(convertErrors, result));
        noteFileError(result, true);
    }
    if (result == PASS_CANCELLED) {
        printError(inputDisplay, messageFor(fileErrors, CANCELLED));
        noteFileError(CANCELLED);
    }
    if (result == PASS_NO_MEMORY) fatalError_ = true;
    if (result == PASS_NOT_TEXT) inputSkipped_ = true;
    if (readFailed) {
        printError(inputDisplay, messageFor(fileErrors, CANNOT_READ));
        noteFileError(CANNOT_READ);
        runFailed_ = true;
    }
    if (writeFailed) {
        printError(outputDisplay, messageFor(fileErrors, CANNOT_WRITE));
        noteFileError(CANNOT_WRITE, false, writeErrno_);
        (inPlace ? runFailed_ : fatalError_) = true;
    }
    if (closed == OUTPUT_EXISTS) {
        printError(outputDisplay, messageFor(fileErrors, OUTPUT_EXISTS));
        noteFileError(OUTPUT_EXISTS);
    } else if (closed == CHANGED_MEANWHILE) {
        printError(inputDisplay, messageFor(fileErrors, CHANGED_MEANWHILE));
        noteFileError(CHANGED_MEANWHILE);
        runFailed_ = true;
    } else if (lossy && !readFailed && !writeFailed) {
        reportSubstitutes(inputDisplay, substitutes + selectors, true);
        fileResult_.fate = FileResult::Fate::FAILED;
    } else if (!readFailed && !writeFailed) {
        if (substitutes > 0) reportSubstitutes(inputDisplay, substitutes, false);
        if (selectors > 0) reportSelectorsLeftOut(inputDisplay, selectors);
    }
    if (fileResult_.fate == FileResult::Fate::DONE) {
        fileResult_.substitutes = substitutes;
        fileResult_.selectorsLeftOut = selectors;
        fileResult_.checkText = checkText_;
    }
} catch (const std::bad_alloc&) {
    closeInput();
    closeOutput(false);
    fatalError_ = true;
    noteFileError(PASS_NO_MEMORY, true);
    printError(ShownName(inputName ? inputName : standardInputName, maskNames).c_str(),
               messageFor(convertErrors, PASS_NO_MEMORY));
}

void FileConverter::reportSelectorsLeftOut(const char* name, std::int64_t count) {
    print(1, std::string(name) + ": " + std::to_string(count) +
                 (count == 1 ? " variation selector" : " variation selectors") + " left out.\n");
}

void FileConverter::noteFileError(int code, bool passError, int systemError) {
    using Fate = FileResult::Fate;
    const bool refused = passError ? code == PASS_NOT_TEXT : code == NOT_REGULAR;
    const Fate fate = code == CANCELLED && !passError       ? Fate::CANCELLED
                      : code == OUTPUT_EXISTS && !passError ? Fate::SKIPPED
                      : refused                             ? Fate::REFUSED
                                                            : Fate::FAILED;
    if (fileResult_.error == 0) {
        fileResult_.error = code;
        fileResult_.passError = passError;
        fileResult_.systemError = systemError;
    }
    // A failure outweighs a refusal; the first of either stays.
    if (fileResult_.fate == Fate::DONE || (fileResult_.fate == Fate::REFUSED && fate == Fate::FAILED))
        fileResult_.fate = fate;
}

void FileConverter::reportSubstitutes(const char* name, std::int64_t count, bool leftAsItWas) {
    const std::string number = std::to_string(count);
    const bool one = count == 1;
    if (leftAsItWas) {
        print(1, std::string(name) + ": " + number + (one ? " character has" : " characters have") +
                     " no code in the output; the file is left as it was.\n");
        runFailed_ = true;
    } else {
        print(1, std::string(name) + ": " + number + (one ? " character" : " characters") +
                     " replaced with the substitute mark.\n");
    }
}

}  // namespace zekt
