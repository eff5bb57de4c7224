// libzekt for C++: the C API's converter as an object that frees itself.
// The library's ABI is the C one; this header only wraps it.
#pragma once

#include <cstddef>
#include <memory>
#include <stdexcept>
#include <string>

#include "zekt.h"

namespace zekt {

// A failure status of the C API.
class Error : public std::runtime_error {
public:
    explicit Error(int status) : std::runtime_error(zekt_status_text(status)), status_(status) {}
    int status() const { return status_; }

private:
    int status_;
};

class Converter {
public:
    // Throws Error for options the library does not take.
    explicit Converter(const char* options = "") {
        zekt_converter* c = nullptr;
        if (const int status = zekt_converter_new(options, &c); status != ZEKT_OK) throw Error(status);
        handle_.reset(c);
    }

    // zekt_convert: the status, and how much was read and written.
    struct Step {
        int status;
        std::size_t read, written;
    };
    Step convert(const unsigned char* in, std::size_t inLength, unsigned char* out, std::size_t outCapacity,
                 bool last) {
        Step step{};
        step.status =
            zekt_convert(handle_.get(), in, inLength, &step.read, out, outCapacity, &step.written, last);
        return step;
    }

    // A whole input at once; throws Error when it is refused or memory runs out.
    std::string convertAll(const std::string& input) {
        std::string output;
        unsigned char room[4096];
        std::size_t at = 0;
        for (;;) {
            const Step step = convert(reinterpret_cast<const unsigned char*>(input.data()) + at,
                                      input.size() - at, room, sizeof room, true);
            output.append(reinterpret_cast<const char*>(room), step.written);
            at += step.read;
            if (step.status < 0) throw Error(step.status);
            if (step.status == ZEKT_INPUT_EMPTY) return output;
        }
    }

    void reset() {
        if (const int status = zekt_converter_reset(handle_.get()); status != ZEKT_OK) throw Error(status);
    }
    std::string checkText() const {
        std::string text(zekt_check_text(handle_.get(), nullptr, 0), '\0');
        zekt_check_text(handle_.get(), text.data(), text.size() + 1);
        return text;
    }
    unsigned long long substitutes() const { return zekt_substitutes(handle_.get()); }
    zekt_converter* get() const { return handle_.get(); }

private:
    struct Free {
        void operator()(zekt_converter* c) const { zekt_converter_free(c); }
    };
    std::unique_ptr<zekt_converter, Free> handle_;
};

}  // namespace zekt
