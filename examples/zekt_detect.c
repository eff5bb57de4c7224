/* Prints what zekt -c prints for each file named:  zekt_detect FILE...
 * gives "FILE: SJIS [CRLF] IZON " and so on, one line per file. */
#include <stdio.h>
#include <zekt/zekt.h>

static int detect(zekt_converter *c, const char *name) {
    FILE *file = fopen(name, "rb");
    if (file == NULL) {
        fprintf(stderr, "%s: Cannot open a file.\n", name);
        return 1;
    }
    unsigned char in[4096];
    int status = ZEKT_OK, last = 0;
    zekt_converter_reset(c);
    while (!last && status >= 0) {
        size_t length = fread(in, 1, sizeof in, file), read, written;
        last = length < sizeof in;
        status = zekt_convert(c, in, length, &read, NULL, 0, &written, last);
    }
    fclose(file);
    if (status < 0) {
        fprintf(stderr, "%s: %s.\n", name, zekt_status_text(status));
        return 1;
    }
    char text[256];
    zekt_check_text(c, text, sizeof text);
    printf("%s: %s\n", name, text);
    return 0;
}

int main(int argc, char **argv) {
    zekt_converter *c;
    if (zekt_converter_new("-c", &c) != ZEKT_OK) return 2;
    int failed = 0;
    for (int i = 1; i < argc; ++i) failed |= detect(c, argv[i]);
    zekt_converter_free(c);
    return failed;
}
