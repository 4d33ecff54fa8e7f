/* A host tool of the firmware project, check_upgrade FILE: judges an upgrade image with
 * swug::verify and prints "valid", or "invalid:" and the names of the failed checks; exit status
 * 0 when valid, 1 when not, 2 when the file can't be read. */
#include <stdio.h>

#include "swug_verify.h"

int main(int argc, char** argv) {
    static const char* const names[SWUG_CHECK_COUNT] = SWUG_VERIFY_CHECK_NAMES;
    unsigned char chunk[7]; /* small, so that the image arrives in many pieces */
    struct swug_verify v;
    struct swug_verify_result verdict;
    size_t count;
    unsigned check;
    FILE* file = argc == 2 ? fopen(argv[1], "rb") : NULL;
    if (file == NULL) {
        fprintf(stderr, "usage: check_upgrade FILE\n");
        return 2;
    }
    swug_verify_start(&v, SWUG_VERIFY_NO_LIMIT, SWUG_VERIFY_UNKNOWN_SIZE);
    while ((count = fread(chunk, 1, sizeof chunk, file)) != 0) {
        swug_verify_feed(&v, chunk, count);
    }
    if (ferror(file) || fclose(file) != 0) {
        fprintf(stderr, "can't read %s\n", argv[1]);
        return 2;
    }
    const int valid = swug_verify_finish(&v, &verdict);
    fputs(valid ? "valid" : "invalid:", stdout);
    for (check = 0; check < SWUG_CHECK_COUNT; ++check) {
        if ((verdict.failed & (1u << check)) != 0) {
            printf(" %s", names[check]);
        }
    }
    printf("\n");
    return valid ? 0 : 1;
}
