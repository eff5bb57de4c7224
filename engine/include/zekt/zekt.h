/* libzekt: Japanese text code conversion (EUC, 7-bit JIS, Shift-JIS with
 * code page 932, UTF-8, UTF-16) with detection of the input's code, as the
 * zekt program converts, in a caller's buffers.
 *
 * A converter holds the settings, given as zekt's option words, and the
 * state of one input. Feed it the input in pieces of any size, and give it
 * output room of any size: the bytes written are those zekt writes for the
 * same input and options, however both are cut. Memory stays bounded,
 * whatever the input's length. Distinct converters may be used at the same
 * time from different threads; the library has no global mutable state. */
#ifndef ZEKT_ZEKT_H
#define ZEKT_ZEKT_H

#include <stddef.h>

#if defined(ZEKT_BUILDING_LIBRARY) && defined(__GNUC__)
#define ZEKT_API __attribute__((visibility("default")))
#else
#define ZEKT_API
#endif

#ifdef __cplusplus
extern "C" {
#endif

/* Statuses. Negative ones are failures. */
enum {
    ZEKT_OK = 0,
    ZEKT_INPUT_EMPTY = 0,     /* all of the input was taken */
    ZEKT_OUTPUT_FULL = 1,     /* the output has no room for more */
    ZEKT_NOT_TEXT = -1,       /* the input was refused as binary */
    ZEKT_ERROR_OPTION = -2,   /* an option word the library does not take */
    ZEKT_ERROR_MEMORY = -3,   /* memory ran out */
    ZEKT_ERROR_ARGUMENT = -4, /* a required pointer was null */
    ZEKT_ERROR_FINISHED = -5  /* more input after the last: reset first */
};

typedef struct zekt_converter zekt_converter;

/* The library's version, as "2.2.2". */
ZEKT_API const char *zekt_version(void);

/* A new converter for the option words in options (zekt's, separated by
 * blanks, applied left to right: "-u8 -lf -xMS"; "-c" checks without
 * writing; "" or NULL gives the defaults: detected input, Shift-JIS with
 * CR LF out). ZEKT_ERROR_OPTION for an unknown word, a file name, and the
 * words that are no setting (-overwrite, -h, -v, --help, --version, -f,
 * --, -); *out is then NULL. */
ZEKT_API int zekt_converter_new(const char *options, zekt_converter **out);

/* Converts the next piece of one input: takes bytes from in (*in_read of
 * in_len) and writes bytes to out (*out_written of out_cap). last: in
 * holds the end of the input. Returns ZEKT_INPUT_EMPTY when all of in was
 * taken (with last, the conversion is then complete and everything is
 * written), ZEKT_OUTPUT_FULL when out has no room for more (call again with
 * the rest of the input and more room), ZEKT_NOT_TEXT when the input is
 * refused as binary (what was written before stays written, as zekt
 * leaves it), or another failure. */
ZEKT_API int zekt_convert(zekt_converter *c, const unsigned char *in, size_t in_len, size_t *in_read,
                          unsigned char *out, size_t out_cap, size_t *out_written, int last);

/* Ready for the next input, with the same settings. */
ZEKT_API int zekt_converter_reset(zekt_converter *c);

ZEKT_API void zekt_converter_free(zekt_converter *c);

/* After a complete input: the text zekt prints in check mode after
 * "NAME: " ("SJIS [CRLF] IZON "), the input's detected code, line end and
 * details, also after a conversion. Written NUL-terminated to buf, cut to
 * cap; returns its full length (0, and "", before the input is complete or
 * when it was refused). */
ZEKT_API size_t zekt_check_text(const zekt_converter *c, char *buf, size_t cap);

/* How many characters of the current input were written as the substitute
 * (the output code has none for them, or they were ill-formed). */
ZEKT_API unsigned long long zekt_substitutes(const zekt_converter *c);

/* How many variation selectors (U+FE00-FE0F, U+E0100-E01EF) of the
 * current input were left out of a Shift-JIS, EUC or JIS output, each after
 * a character that the output carries. */
ZEKT_API unsigned long long zekt_selectors_left_out(const zekt_converter *c);

/* A short English text for a status. */
ZEKT_API const char *zekt_status_text(int status);

#ifdef __cplusplus
}
#endif

#endif
