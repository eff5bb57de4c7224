// The engine's front end in ZektWin: files in, files out, every message into
// the application's message log.
#pragma once

#include <QString>
#include <cstdio>
#include <string>
#include <string_view>
#include <vector>

#include "stdio_converter.h"

namespace zektwin {

class CZektWinApp;

class GuiConverter final : public zekt::StdioConverter {
public:
    // A dropped FIFO or device is refused rather than waited on; an output
    // in the shared folder is never more readable than its input, and a
    // link planted at its name is replaced, not written through.
    explicit GuiConverter(CZektWinApp& app) : m_app(app) {
        regularInputsOnly = true;
        freshOutputs = true;
    }

    void print(int stream, const char* format, ...) override ZEKT_PRINTF(3, 4);
    // The output is always the application's current output path (empty:
    // the standard output, which a check never writes to).
    void processFile(bool check, const char* inputName, const char* outputName) override;

    // Runs the engine on the options of the text and then the file, if any.
    void runOptionText(const QString& optionText, const QString& fileName);

private:
    CZektWinApp& m_app;
};

// The option tokens of a text: each starts at a "-" and runs to the next
// blank, at most 15 characters; the byte after a token cut short is skipped.
std::vector<std::string> splitOptionText(std::string_view text);

// Memory ran out outside the engine's reach (a Qt string, say): the log
// says so, as the engine says it for a file, and the program goes on.
void logNoMemory(CZektWinApp& app);

}  // namespace zektwin
