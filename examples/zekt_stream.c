/* Converts the standard input to the standard output with libzekt, 4 KiB
 * at a time:  zekt_stream [OPTIONS] < in > out,  OPTIONS as zekt takes them
 * ("-u8 -lf"). The status is 0, 1 for binary input, 2 for a failure. */
#include <stdio.h>
#include <zekt/zekt.h>

int main(int argc, char **argv) {
    zekt_converter *c;
    int status = zekt_converter_new(argc > 1 ? argv[1] : "", &c);
    if (status != ZEKT_OK) {
        fprintf(stderr, "zekt_stream: %s\n", zekt_status_text(status));
        return 2;
    }
    unsigned char in[4096], out[4096];
    int last = 0;
    while (!last && status >= 0) {
        size_t length = fread(in, 1, sizeof in, stdin), taken = 0;
        last = length < sizeof in;
        do {
            size_t read, written;
            status = zekt_convert(c, in + taken, length - taken, &read, out, sizeof out, &written, last);
            fwrite(out, 1, written, stdout);
            taken += read;
        } while (status == ZEKT_OUTPUT_FULL);
    }
    zekt_converter_free(c);
    if (status < 0) fprintf(stderr, "zekt_stream: %s\n", zekt_status_text(status));
    if (ferror(stdin) || fflush(stdout) != 0) return 2;
    return status == ZEKT_NOT_TEXT ? 1 : status < 0 ? 2 : 0;
}
