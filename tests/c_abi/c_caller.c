/* A plain C program using probex.h: the record and the exports as C sees them. */
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include "probex.h"

static void widen(const char *s, probex_char16 *out, size_t units) {
    size_t i = 0;
    for (; s[i] && i + 1 < units; ++i) out[i] = (unsigned char)s[i];
    out[i] = 0;
}

int main(int argc, char **argv) {
    probex_char16 dir[PROBEX_PATH_UNITS];
    MediaInfo *info;
    char *report;
    int32_t length;

    if (argc != 3) return 2;
    if (GetDllVersion() != 130101 || Unicode() != 1) return 3;
    widen(argv[1], dir, PROBEX_PATH_UNITS);
    if (SetPath(dir) != 0) return 4;

    info = calloc(1, sizeof *info);
    widen(argv[2], info->path, PROBEX_PATH_UNITS);
    GetFileInfoAuto(info);
    if (info->formatId != 51 || info->videoCount != 1 || info->errorText[0]) return 5;

    length = ConvertFullLen(info);
    report = calloc((size_t)length, 1);
    ConvertFull(info, report);
    if ((int32_t)strlen(report) + 1 != length) return 6;
    printf("%s\n", report);
    free(report);
    free(info);
    return 0;
}
