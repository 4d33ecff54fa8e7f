/* swug_verify: the rules of the upgrade image format, checked while the image streams past.
 *
 * One implementation of the rules for the build machine and for the device that receives an
 * image and decides whether to flash it. C99 and freestanding: nothing beyond <stdint.h>,
 * <stddef.h> and <stdbool.h>, no allocation, no recursion, no floating point.
 *
 *     struct swug_verify v;
 *     struct swug_verify_result r;
 *     swug_verify_start(&v, SLOT_SIZE, SWUG_VERIFY_UNKNOWN_SIZE);
 *     for each chunk, as it arrives:
 *         swug_verify_feed(&v, chunk, chunk_size);
 *         if (swug_verify_rejected(&v)) stop: no bytes still to come can make it valid
 *     if (swug_verify_finish(&v, &r)) the image is valid
 *
 * Contracts:
 * - The caller owns the state and the result and may keep them anywhere; the core keeps no
 *   pointer to them, nor to a chunk once swug_verify_feed has returned.
 * - swug_verify_start comes first, and again for each new image. After it, swug_verify_feed,
 *   _next, _rejected and _finish may be called in any order, any number of times; nothing else
 *   may change the state.
 * - Chunks come in the order of the image and may have any size, 0 and 1 included: the verdict
 *   does not depend on where the image was cut.
 * - swug_verify_finish judges all that was fed as the whole image and changes nothing: feeding
 *   more after it goes on where the image was, and a later call judges the longer image.
 * - Once swug_verify_rejected says true it stays true, and swug_verify_finish then says the image
 *   is not valid. Feeding on is still allowed: it only completes the sums and counts (the host
 *   does so to report them).
 */
#ifndef SWUG_VERIFY_H
#define SWUG_VERIFY_H

#include <stdbool.h>
#include <stddef.h>
#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

/* The layout: a 128-byte header, then the software image, then the MCU OTA image when the flag
 * is 1, then nothing. Every field is an unsigned 32-bit little-endian number. */
#define SWUG_VERIFY_HEADER_SIZE 128u
/* The magic: these 15 characters and a zero byte. */
#define SWUG_VERIFY_MAGIC "ZQ-TR5200 Image"
#define SWUG_VERIFY_MAGIC_SIZE 16u
#define SWUG_VERIFY_LENGTH_OFFSET 16u
#define SWUG_VERIFY_SUM_OFFSET 20u
#define SWUG_VERIFY_UPGRADE_BOOT_OFFSET 24u
#define SWUG_VERIFY_MCU_OTA_FLAG_OFFSET 64u
#define SWUG_VERIFY_MCU_ADDR_OFFSET 68u
#define SWUG_VERIFY_MCU_LEN_OFFSET 72u
#define SWUG_VERIFY_MCU_SUM_OFFSET 76u
/* The header bytes outside the named fields, which must be zero: [28, 64) and [80, 128). */
#define SWUG_VERIFY_ZERO_BYTES_1_BEGIN 28u
#define SWUG_VERIFY_ZERO_BYTES_1_END 64u
#define SWUG_VERIFY_ZERO_BYTES_2_BEGIN 80u
#define SWUG_VERIFY_ZERO_BYTES_2_END 128u
/* Largest MCU OTA image, inclusive (96 KiB). */
#define SWUG_VERIFY_MCU_OTA_MAX_SIZE 98304u

/* For swug_verify_start: a slot that takes any size, and a size not known beforehand (an image of
 * no bytes is never valid, so a size of 0 tells nothing). */
#define SWUG_VERIFY_NO_LIMIT UINT64_MAX
#define SWUG_VERIFY_UNKNOWN_SIZE 0u

/* The parts of an image, in their order. */
enum swug_verify_part {
    SWUG_PART_HEADER,
    SWUG_PART_SOFTWARE,
    SWUG_PART_MCU,
    SWUG_PART_NONE /* past the last part */
};

/* The named checks, in the order they are reported; an index into the result's arrays. */
enum swug_verify_check {
    SWUG_CHECK_SIZE,         /* at least 128 bytes, at most the slot or the known size */
    SWUG_CHECK_MAGIC,        /* the 16 bytes of the magic */
    SWUG_CHECK_LENGTH,       /* the software image is all there and fits */
    SWUG_CHECK_SUM,          /* its byte-sum */
    SWUG_CHECK_UPGRADE_BOOT, /* 0 */
    SWUG_CHECK_UNUSED_BYTES, /* the bytes outside the fields are zero */
    SWUG_CHECK_MCU_OTA_FLAG, /* 0 or 1 */
    SWUG_CHECK_MCU_FIELDS,   /* flag 0 only: mcu_addr, mcu_len and mcu_sum are 0 */
    SWUG_CHECK_MCU_ADDR,     /* flag 1 only: 128 + length */
    SWUG_CHECK_MCU_LEN,      /* flag 1 only: at most 98,304 */
    SWUG_CHECK_FILE_END,     /* flag 0 or 1: the image ends right behind its last part */
    SWUG_CHECK_MCU_SUM,      /* flag 1 only: the MCU OTA image's byte-sum */
    SWUG_CHECK_COUNT
};

/* The checks' names, indexed by enum swug_verify_check. */
#define SWUG_VERIFY_CHECK_NAMES                                                           \
    {                                                                                     \
        "size", "magic", "length", "sum", "upgrade_boot", "unused_bytes", "mcu_ota_flag", \
            "mcu_fields", "mcu_addr", "mcu_len", "file_end", "mcu_sum"                    \
    }

/* Byte-sum of data[0..size-1], each byte 0 to 255, modulo 2^32. */
typedef uint32_t swug_verify_sum_fn(const uint8_t* data, size_t size);

/* The state. Its members belong to the core: the caller may read header (the image's first
 * bytes, as many of the 128 as were fed) and must write none. */
struct swug_verify {
    uint64_t fed;        /* bytes fed so far */
    uint64_t bound;      /* the most bytes the image may have: the slot or the known size */
    uint64_t known_size; /* 0 when not known */
    uint32_t left;       /* bytes still to come of the part being fed */
    uint32_t phase;      /* that part; past the last one, whether more bytes came */
    uint32_t sum;        /* of the software image's bytes fed so far */
    uint32_t mcu_sum;    /* of the MCU OTA image's bytes fed so far */
    swug_verify_sum_fn* add_bytes;
    uint8_t header[SWUG_VERIFY_HEADER_SIZE];
};

/* The verdict. The checks that ran have their bit (1 << check) in ran, those that failed in
 * failed as well. A check that ran holds its two numbers; a check that compares "at most"
 * (size, length, mcu_ota_flag, mcu_len) failed when found is greater than expected, any other
 * when found differs from expected:
 *   size          expected: the most bytes the image may have (the slot or the known size,
 *                 whichever is smaller), or 128 when fewer came; found: the image's size
 *   magic         16; found: how many bytes from the start match the magic
 *   length        the most bytes the software image can have, min(size, slot, known size) -
 *                 128; found: the length field
 *   sum           the sum field; found: the software image's byte-sum
 *   upgrade_boot  0; found: the field
 *   unused_bytes  128; found: the offset of the first non-zero byte outside the fields, or 128
 *   mcu_ota_flag  1; found: the field
 *   mcu_fields    0; found: mcu_addr | mcu_len | mcu_sum
 *   mcu_addr      128 + length, which need not fit 32 bits; found: the field
 *   mcu_len       98,304; found: the field
 *   file_end      where the last part ends; found: the image's size
 *   mcu_sum       the mcu_sum field; found: the MCU OTA image's byte-sum
 * A check that did not run has both numbers 0. Fewer than 128 bytes: only the size check ran.
 * The image's size, found[SWUG_CHECK_SIZE], is the bytes fed, or the known size once the parts
 * are complete and it covers them. */
struct swug_verify_result {
    bool valid;
    uint16_t ran;
    uint16_t failed;
    uint64_t expected[SWUG_CHECK_COUNT];
    uint64_t found[SWUG_CHECK_COUNT];
};

/* Begins judging an image for a slot of capacity bytes (SWUG_VERIFY_NO_LIMIT: any size). When
 * the caller knows the image's size beforehand (a file's size, a transfer's announced length),
 * known_size is that size, else SWUG_VERIFY_UNKNOWN_SIZE. A known size is part of what is judged:
 * an image of another size is not valid. */
void swug_verify_start(struct swug_verify* v, uint64_t capacity, uint64_t known_size);

/* Sums with sum (never NULL) from now on rather than the core's own byte loop: the host hands in
 * a faster one. */
void swug_verify_use_sum(struct swug_verify* v, swug_verify_sum_fn* sum);

/* The next size bytes of the image; data may be NULL when size is 0. */
void swug_verify_feed(struct swug_verify* v, const uint8_t* data, size_t size);

/* The part that the next byte fed belongs to, and in *left how many of that part's bytes are
 * still to come. The parts follow one another without gaps, an empty one is skipped, and
 * SWUG_PART_NONE (left 0) means every part is complete: what follows trails the image. */
enum swug_verify_part swug_verify_next(const struct swug_verify* v, uint32_t* left);

/* True when no bytes still to come can make the image valid. It is decided as soon as the 128
 * header bytes are in, before any byte is summed: a bad magic or any other bad field, parts that
 * can't fit the slot or the known size. Later also: a byte-sum once its part is complete, a byte
 * past the last part. */
bool swug_verify_rejected(const struct swug_verify* v);

/* Judges all that was fed as the whole image into result; returns result->valid. */
bool swug_verify_finish(const struct swug_verify* v, struct swug_verify_result* result);

#ifdef __cplusplus
}
#endif

#endif /* SWUG_VERIFY_H */
