/* The verifier on an emulated Cortex-M3 board (QEMU mps2-an385), with the host's files reached
 * through semihosting: "board_verdicts LIST RESULTS" judges each image file that LIST names, one
 * path a line, in ten ways: whole and in chunks of 1, 7, 128 and 4096 bytes, each with its size
 * known beforehand and not. Every cut must give the same numbers, and knowing the size the same
 * verdict. RESULTS gets one line per file, "PATH valid", "PATH invalid CHECK,CHECK...", or PATH and
 * what went wrong (ways that disagree, a rejection that did not last or ended in a valid verdict,
 * a file that can't be read). The exit status is 0 when every file got its verdict. */
#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include "swug_verify.h"

/* The vector table: the stack's top and where to begin after reset; newlib's start code
 * (rdimon.specs) does the rest, from clearing .bss to calling main and ending through
 * semihosting. A fault (NMI, hard, memory management, bus, usage) ends the run with status 70. */
extern char __stack[];
extern void _start(void);
void reset_handler(void);
void fault_handler(void);
void reset_handler(void) { _start(); }
void fault_handler(void) { _Exit(70); }
__attribute__((section(".vectors"), used)) static const uintptr_t vectors[7] = {
    (uintptr_t)__stack, (uintptr_t)reset_handler, [2 ... 6] = (uintptr_t)fault_handler};

/* The largest image judged: the corpus's largest is 98,733 bytes. */
static uint8_t image[256 * 1024];
static const size_t chunk_sizes[] = {0, 1, 7, 128, 4096}; /* 0: the whole image at once */

/* Feeds the image in chunks of chunk bytes (0: all at once); false when a rejection did not last
 * or the verdict is valid after one. */
static int judge(size_t size, size_t chunk, int size_known, struct swug_verify_result* verdict) {
    struct swug_verify v;
    int rejected = 0;
    size_t at = 0;
    swug_verify_start(&v, SWUG_VERIFY_NO_LIMIT, size_known ? size : SWUG_VERIFY_UNKNOWN_SIZE);
    while (at < size) {
        const size_t count = chunk == 0 || size - at < chunk ? size - at : chunk;
        const int now_rejected = swug_verify_rejected(&v);
        if (rejected && !now_rejected) {
            return 0;
        }
        rejected = now_rejected;
        swug_verify_feed(&v, image + at, count);
        at += count;
    }
    return !(swug_verify_finish(&v, verdict) && (rejected || swug_verify_rejected(&v)));
}

static int same(const struct swug_verify_result* a, const struct swug_verify_result* b) {
    return a->valid == b->valid && a->ran == b->ran && a->failed == b->failed &&
           memcmp(a->expected, b->expected, sizeof a->expected) == 0 &&
           memcmp(a->found, b->found, sizeof a->found) == 0;
}

/* One line of RESULTS for the file at path; 0 when it got its verdict. */
static int judge_file(const char* path, FILE* results) {
    static const char* const names[SWUG_CHECK_COUNT] = SWUG_VERIFY_CHECK_NAMES;
    struct swug_verify_result first[2]; /* the size not known, known */
    unsigned way, check;
    const char* separator = " ";
    FILE* file = fopen(path, "rb");
    const size_t size = file == NULL ? 0 : fread(image, 1, sizeof image, file);
    const int whole = file != NULL && !ferror(file) && feof(file);
    if (file == NULL || fclose(file) != 0 || !whole) {
        fprintf(results, "%s can't be read whole\n", path);
        return 1;
    }
    for (way = 0; way < 2 * sizeof chunk_sizes / sizeof chunk_sizes[0]; ++way) {
        struct swug_verify_result verdict;
        const size_t chunk = chunk_sizes[way / 2];
        if (!judge(size, chunk, (int)(way % 2), &verdict)) {
            fprintf(results, "%s rejected, then not, in chunks of %u\n", path, (unsigned)chunk);
            return 1;
        }
        if (way < 2) {
            first[way] = verdict;
        } else if (!same(&verdict, &first[way % 2])) {
            fprintf(results, "%s judged otherwise in chunks of %u\n", path, (unsigned)chunk);
            return 1;
        }
    }
    if (first[0].valid != first[1].valid || first[0].failed != first[1].failed) {
        fprintf(results, "%s judged otherwise when its size is known\n", path);
        return 1;
    }
    fprintf(results, "%s %s", path, first[0].valid ? "valid" : "invalid");
    for (check = 0; check < SWUG_CHECK_COUNT; ++check) {
        if ((first[0].failed & (1u << check)) != 0) {
            fprintf(results, "%s%s", separator, names[check]);
            separator = ",";
        }
    }
    fprintf(results, "\n");
    return 0;
}

int main(int argc, char** argv) {
    char path[1024];
    unsigned judged = 0, failed = 0;
    FILE* list = argc == 3 ? fopen(argv[1], "r") : NULL;
    FILE* results = argc == 3 ? fopen(argv[2], "w") : NULL;
    if (list == NULL || results == NULL) {
        printf("usage: board_verdicts LIST RESULTS, both files that open\n");
        return 2;
    }
    while (fgets(path, sizeof path, list) != NULL) {
        path[strcspn(path, "\r\n")] = '\0';
        if (path[0] != '\0') {
            failed += (unsigned)judge_file(path, results);
            ++judged;
        }
    }
    fclose(list);
    if (fclose(results) != 0) {
        printf("board: can't write %s\n", argv[2]);
        return 2;
    }
    printf("board: %u images judged in ten ways each, %u without a verdict\n", judged, failed);
    return failed == 0 ? 0 : 1;
}
