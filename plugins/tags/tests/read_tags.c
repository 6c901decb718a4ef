/* Reads one file through the seven entry points and prints what it found:
 * type, tag bits, then INAM, IART and VFMT (and the per-tag names of MP3
 * files) one per line as name=value, UTF-8. The W values must equal the
 * narrow ones. */
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include "vrtqtags.h"

/* UTF-8 to UTF-16; a byte that is no part of valid UTF-8 travels as the lone
 * surrogate U+DC80..U+DCFF, as the player carries such file names. */
static size_t to_utf16(const char *s, char16_t *out, size_t units) {
    const unsigned char *p = (const unsigned char *)s;
    size_t n = 0;
    while (*p && n + 2 < units) {
        unsigned long c = *p;
        int extra = c >= 0xF0 && c < 0xF5 ? 3 : c >= 0xE0 ? 2 : c >= 0xC2 ? 1 : 0;
        int k, ok = c < 0x80 || extra > 0;
        for (k = 1; ok && k <= extra; ++k) ok = (p[k] & 0xC0) == 0x80;
        if (!ok) {
            out[n++] = (char16_t)(0xDC00 | *p++);
            continue;
        }
        if (extra) c &= 0x3F >> extra;
        ++p;
        for (k = 0; k < extra; ++k) c = c << 6 | (*p++ & 0x3F);
        if (c >= 0x10000) {
            out[n++] = (char16_t)(0xD800 + ((c - 0x10000) >> 10));
            out[n++] = (char16_t)(0xDC00 + ((c - 0x10000) & 0x3FF));
        } else {
            out[n++] = (char16_t)c;
        }
    }
    out[n] = 0;
    return n;
}

static int same(const char *narrow, const char16_t *wide) {
    size_t units = strlen(narrow) * 2 + 4, i;
    char16_t *back = malloc(units * sizeof *back);
    int equal;
    if (!back) return 0;
    to_utf16(narrow, back, units);
    for (i = 0; back[i] && wide[i] && back[i] == wide[i]; ++i) {
    }
    equal = back[i] == wide[i];
    free(back);
    return equal;
}

int main(int argc, char **argv) {
    static const char *names[] = {"INAM", "IART", "VFMT", "INAM_v1", "IART_v1", "INAM_v2",
                                  "IART_v2", "INAM_rmp", "IART_rmp", "INAM_APE", "IART_APE"};
    char16_t path[4096];
    size_t i;
    if (argc != 2) return 2;
    if (mp3infp_GetVer() < 0x0253) return 3;
    to_utf16(argv[1], path, 4096);
    if (mp3infp_LoadW(NULL, path) != 0) {
        printf("load=failed\n");
        return 0;
    }
    printf("type=%u\nbits=0x%x\n", mp3infp_GetType(), mp3infp_mp3_GetTagType());
    for (i = 0; i < sizeof names / sizeof names[0]; ++i) {
        char *narrow = NULL;
        char16_t *wide = NULL, wname[16];
        to_utf16(names[i], wname, 16);
        mp3infp_GetValue(names[i], &narrow);
        mp3infp_GetValueW(wname, &wide);
        if (!narrow || !wide || !same(narrow, wide)) return 4;
        if (*narrow) printf("%s=%s\n", names[i], narrow);
    }
    /* The narrow entry point reads the same file the same way. */
    if (mp3infp_Load(NULL, argv[1]) != 0) return 5;
    return 0;
}
