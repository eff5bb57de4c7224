/* The public header as a C99 program includes it, warnings as errors:
 * nothing of C++ may leak into it. */
#include <zekt/zekt.h>

int zekt_test_c_header(void);

int zekt_test_c_header(void) {
    zekt_converter *c = NULL;
    if (zekt_converter_new("-u8", &c) != ZEKT_OK) return 0;
    size_t read = 0, written = 0;
    unsigned char out[4];
    const int status = zekt_convert(c, (const unsigned char *)"a", 1, &read, out, sizeof out, &written, 1);
    zekt_converter_free(c);
    return status == ZEKT_INPUT_EMPTY && written == 1 && out[0] == 'a';
}
