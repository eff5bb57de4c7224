// The C API over StreamingConversion.
#include <algorithm>
#include <cstring>
#include <memory>
#include <new>
#include <span>

#include "option_words.h"
#include "streaming_conversion.h"
#include "version.h"
#include "zekt/zekt.h"

struct zekt_converter {
    zekt::StreamingConversion conversion;
};

namespace {

int statusOf(zekt::StreamingConversion::Status status) {
    using Status = zekt::StreamingConversion::Status;
    switch (status) {
        case Status::INPUT_EMPTY: return ZEKT_INPUT_EMPTY;
        case Status::OUTPUT_FULL: return ZEKT_OUTPUT_FULL;
        case Status::NOT_TEXT: return ZEKT_NOT_TEXT;
        case Status::FINISHED: return ZEKT_ERROR_FINISHED;
        default: return ZEKT_ERROR_MEMORY;
    }
}

}  // namespace

extern "C" {

const char* zekt_version(void) { return ZEKT_VERSION; }

int zekt_converter_new(const char* options, zekt_converter** out) {
    if (out == nullptr) return ZEKT_ERROR_ARGUMENT;
    *out = nullptr;
    zekt::CodecSettings settings;
    bool check = false;
    if (!zekt::applyOptionWords(options != nullptr ? options : "", settings, check)) return ZEKT_ERROR_OPTION;
    try {
        auto converter = std::unique_ptr<zekt_converter>(new zekt_converter{{settings, check}});
        if (!converter->conversion.ready()) return ZEKT_ERROR_MEMORY;
        *out = converter.release();
        return ZEKT_OK;
    } catch (const std::bad_alloc&) {
        return ZEKT_ERROR_MEMORY;
    }
}

int zekt_convert(zekt_converter* c, const unsigned char* in, size_t in_len, size_t* in_read,
                 unsigned char* out, size_t out_cap, size_t* out_written, int last) {
    if (in_read != nullptr) *in_read = 0;
    if (out_written != nullptr) *out_written = 0;
    if (c == nullptr || in_read == nullptr || out_written == nullptr || (in == nullptr && in_len > 0) ||
        (out == nullptr && out_cap > 0))
        return ZEKT_ERROR_ARGUMENT;
    try {
        return statusOf(
            c->conversion.convert({in, in_len}, *in_read, {out, out_cap}, *out_written, last != 0));
    } catch (const std::bad_alloc&) {
        return ZEKT_ERROR_MEMORY;
    }
}

int zekt_converter_reset(zekt_converter* c) {
    if (c == nullptr) return ZEKT_ERROR_ARGUMENT;
    try {
        c->conversion.reset();
        return ZEKT_OK;
    } catch (const std::bad_alloc&) {
        return ZEKT_ERROR_MEMORY;
    }
}

void zekt_converter_free(zekt_converter* c) { delete c; }

size_t zekt_check_text(const zekt_converter* c, char* buf, size_t cap) {
    if (c == nullptr) {
        if (buf != nullptr && cap > 0) buf[0] = '\0';
        return 0;
    }
    const std::string& text = c->conversion.checkText();
    if (buf != nullptr && cap > 0) {
        const std::size_t n = std::min(cap - 1, text.size());
        std::memcpy(buf, text.data(), n);
        buf[n] = '\0';
    }
    return text.size();
}

unsigned long long zekt_substitutes(const zekt_converter* c) {
    return c == nullptr ? 0 : static_cast<unsigned long long>(c->conversion.substitutes());
}

unsigned long long zekt_selectors_left_out(const zekt_converter* c) {
    return c == nullptr ? 0 : static_cast<unsigned long long>(c->conversion.selectorsLeftOut());
}

const char* zekt_status_text(int status) {
    switch (status) {
        case ZEKT_OK: return "success; all of the input was taken";
        case ZEKT_OUTPUT_FULL: return "the output buffer is full";
        case ZEKT_NOT_TEXT: return "not a text file";
        case ZEKT_ERROR_OPTION: return "unknown or unusable option";
        case ZEKT_ERROR_MEMORY: return "no enough memory";
        case ZEKT_ERROR_ARGUMENT: return "a required pointer is null";
        case ZEKT_ERROR_FINISHED: return "input after the end of the input; reset the converter";
        default: return "unknown status";
    }
}

}  // extern "C"
