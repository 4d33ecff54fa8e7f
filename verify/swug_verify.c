/* The rules of the upgrade image format, judged on a stream; see swug_verify.h.
 *
 * Every check is written once, as a row of the table "compared", which judge() runs both on what
 * was fed (swug_verify_finish) and on the best that may still come (swug_verify_rejected), so
 * that the early verdict and the final one can't disagree. The image is fed part by part (header,
 * software image, MCU OTA image, whatever trails), each part counted down in 32 bits. */
#include "swug_verify.h"

#define HEADER_SIZE SWUG_VERIFY_HEADER_SIZE
#define BIT(check) (1u << (check))

enum phase {
    PHASE_HEADER,
    PHASE_SOFTWARE,
    PHASE_MCU,
    PHASE_END, /* the parts are complete and nothing more came */
    PHASE_PAST /* bytes came past the last part */
};

/* The checks that compare "found at most expected"; every other one compares "found equals
 * expected". */
#define AT_MOST_CHECKS                                                              \
    (BIT(SWUG_CHECK_SIZE) | BIT(SWUG_CHECK_LENGTH) | BIT(SWUG_CHECK_MCU_OTA_FLAG) | \
     BIT(SWUG_CHECK_MCU_LEN))
/* The checks that every header gets, and those that a flag of 0 or 1 adds. */
#define COMMON_CHECKS (BIT(SWUG_CHECK_MCU_OTA_FLAG + 1) - 1)
#define NO_MCU_CHECKS (BIT(SWUG_CHECK_MCU_FIELDS) | BIT(SWUG_CHECK_FILE_END))
#define MCU_CHECKS                                                                   \
    (BIT(SWUG_CHECK_MCU_ADDR) | BIT(SWUG_CHECK_MCU_LEN) | BIT(SWUG_CHECK_FILE_END) | \
     BIT(SWUG_CHECK_MCU_SUM))

static uint32_t sum_bytes(const uint8_t* data, size_t size) {
    uint32_t total = 0;
    size_t at;
    for (at = 0; at < size; ++at) {
        total += data[at];
    }
    return total;
}

/* The header field at offset, little-endian; 0 while the header is not all in. */
static uint32_t field(const struct swug_verify* v, unsigned offset) {
    const uint8_t* at = v->header + offset;
    if (v->phase == PHASE_HEADER) {
        return 0;
    }
    return (uint32_t)at[0] | (uint32_t)at[1] << 8 | (uint32_t)at[2] << 16 | (uint32_t)at[3] << 24;
}

static uint64_t software_end(const struct swug_verify* v) {
    return HEADER_SIZE + (uint64_t)field(v, SWUG_VERIFY_LENGTH_OFFSET);
}

/* Bytes in the MCU OTA image: the field when the flag is 1, else none. */
static uint32_t mcu_length(const struct swug_verify* v) {
    return field(v, SWUG_VERIFY_MCU_OTA_FLAG_OFFSET) == 1 ? field(v, SWUG_VERIFY_MCU_LEN_OFFSET)
                                                          : 0;
}

/* True when the caller said the image has at least at bytes; at is never below 128, so an
 * unknown size, 0, reaches nothing. */
static bool known_to_reach(const struct swug_verify* v, uint64_t at) {
    return v->known_size >= at;
}

/* How many bytes from the start match the magic (16 when all do). */
static unsigned magic_bytes_matching(const struct swug_verify* v) {
    static const char magic[SWUG_VERIFY_MAGIC_SIZE] = SWUG_VERIFY_MAGIC;
    unsigned at = 0;
    while (at < SWUG_VERIFY_MAGIC_SIZE && v->header[at] == (uint8_t)magic[at]) {
        ++at;
    }
    return at;
}

/* Offset of the first non-zero byte outside the named fields, or 128 when there is none. */
static unsigned first_stray_byte(const struct swug_verify* v) {
    unsigned at = SWUG_VERIFY_ZERO_BYTES_1_BEGIN;
    for (; at < SWUG_VERIFY_ZERO_BYTES_2_END && v->header[at] == 0; ++at) {
        if (at + 1 == SWUG_VERIFY_ZERO_BYTES_1_END) {
            at = SWUG_VERIFY_ZERO_BYTES_2_BEGIN - 1;
        }
    }
    return at;
}

/* The numbers that checks compare. Below NUMBER_WORKED_OUT: constants; from it to NUMBER_FIELD:
 * worked out by judge() from the state; from NUMBER_FIELD on: the header field at that offset
 * (the fields lie at 16 to 76). */
enum number {
    NUMBER_ZERO,
    NUMBER_ONE,
    NUMBER_MAGIC_SIZE,
    NUMBER_HEADER_SIZE,
    NUMBER_MCU_OTA_MAX_SIZE,
    NUMBER_WORKED_OUT,
    NUMBER_BOUND = NUMBER_WORKED_OUT, /* the most bytes the image may have; 128 before the header */
    NUMBER_SIZE,
    NUMBER_ROOM, /* the most bytes the software image can have */
    NUMBER_SOFTWARE_END,
    NUMBER_PARTS_END,
    NUMBER_SUM,
    NUMBER_MCU_SUM,
    NUMBER_MAGIC, /* bytes from the start that match the magic */
    NUMBER_STRAY, /* offset of the first non-zero byte outside the fields */
    NUMBER_MCU_FIELDS,
    NUMBER_FIELD = SWUG_VERIFY_LENGTH_OFFSET
};

static const uint32_t constants[NUMBER_WORKED_OUT] = {0, 1, SWUG_VERIFY_MAGIC_SIZE, HEADER_SIZE,
                                                      SWUG_VERIFY_MCU_OTA_MAX_SIZE};

/* Each check's expected and found number, in the order of enum swug_verify_check. */
static const uint8_t compared[SWUG_CHECK_COUNT][2] = {
    {NUMBER_BOUND, NUMBER_SIZE},
    {NUMBER_MAGIC_SIZE, NUMBER_MAGIC},
    {NUMBER_ROOM, SWUG_VERIFY_LENGTH_OFFSET},
    {SWUG_VERIFY_SUM_OFFSET, NUMBER_SUM},
    {NUMBER_ZERO, SWUG_VERIFY_UPGRADE_BOOT_OFFSET},
    {NUMBER_HEADER_SIZE, NUMBER_STRAY},
    {NUMBER_ONE, SWUG_VERIFY_MCU_OTA_FLAG_OFFSET},
    {NUMBER_ZERO, NUMBER_MCU_FIELDS},
    {NUMBER_SOFTWARE_END, SWUG_VERIFY_MCU_ADDR_OFFSET},
    {NUMBER_MCU_OTA_MAX_SIZE, SWUG_VERIFY_MCU_LEN_OFFSET},
    {NUMBER_PARTS_END, NUMBER_SIZE},
    {SWUG_VERIFY_MCU_SUM_OFFSET, NUMBER_MCU_SUM},
};

/* The numbers worked out from the state, indexed from NUMBER_WORKED_OUT up: room for every
 * number below the fields. */
typedef uint64_t worked_out_numbers[NUMBER_FIELD - NUMBER_WORKED_OUT];
#define AT(number) worked_out[(number)-NUMBER_WORKED_OUT]

/* The image's size and the parts' sums that the checks judge: what was fed or, when best is true,
 * the best that may still come (the parts complete, with the sums their fields announce, and
 * nothing past them). */
static void work_out_facts(const struct swug_verify* v, bool best, worked_out_numbers worked_out) {
    AT(NUMBER_SIZE) = v->fed;
    AT(NUMBER_SUM) = v->sum;
    AT(NUMBER_MCU_SUM) = v->mcu_sum;
    if (best) {
        if (v->phase < PHASE_END) {
            AT(NUMBER_SIZE) = AT(NUMBER_PARTS_END);
        }
        if (v->phase <= PHASE_SOFTWARE) {
            AT(NUMBER_SUM) = field(v, SWUG_VERIFY_SUM_OFFSET);
        }
        if (v->phase <= PHASE_MCU) {
            AT(NUMBER_MCU_SUM) = field(v, SWUG_VERIFY_MCU_SUM_OFFSET);
        }
    }
    /* Once the parts are complete, a size known beforehand stands for the rest of the image,
     * which need not be read. */
    if ((best || v->phase >= PHASE_END) && known_to_reach(v, AT(NUMBER_SIZE))) {
        AT(NUMBER_SIZE) = v->known_size;
    }
}

static void work_out_numbers(const struct swug_verify* v, bool best,
                             worked_out_numbers worked_out) {
    AT(NUMBER_BOUND) = v->phase == PHASE_HEADER ? HEADER_SIZE : v->bound;
    AT(NUMBER_SOFTWARE_END) = software_end(v);
    AT(NUMBER_PARTS_END) = AT(NUMBER_SOFTWARE_END) + mcu_length(v);
    work_out_facts(v, best, worked_out);
    AT(NUMBER_ROOM) = AT(NUMBER_SIZE) < v->bound ? AT(NUMBER_SIZE) : v->bound;
    AT(NUMBER_ROOM) = AT(NUMBER_ROOM) > HEADER_SIZE ? AT(NUMBER_ROOM) - HEADER_SIZE : 0;
    AT(NUMBER_MAGIC) = magic_bytes_matching(v);
    AT(NUMBER_STRAY) = first_stray_byte(v);
    AT(NUMBER_MCU_FIELDS) = field(v, SWUG_VERIFY_MCU_ADDR_OFFSET) |
                            field(v, SWUG_VERIFY_MCU_LEN_OFFSET) |
                            field(v, SWUG_VERIFY_MCU_SUM_OFFSET);
}

static uint64_t number(const struct swug_verify* v, const worked_out_numbers worked_out,
                       unsigned which) {
    return which >= NUMBER_FIELD       ? field(v, which)
           : which < NUMBER_WORKED_OUT ? constants[which]
                                       : AT(which);
}

/* The checks that apply: all of them but size need the whole header, and the flag decides
 * which of the MCU OTA image's run. */
static unsigned checks_that_apply(const struct swug_verify* v) {
    static const uint16_t checks_for_flag[2] = {COMMON_CHECKS | NO_MCU_CHECKS,
                                                COMMON_CHECKS | MCU_CHECKS};
    const uint32_t flag = field(v, SWUG_VERIFY_MCU_OTA_FLAG_OFFSET);
    if (v->phase == PHASE_HEADER) {
        return BIT(SWUG_CHECK_SIZE);
    }
    return flag <= 1 ? checks_for_flag[flag] : COMMON_CHECKS;
}

/* Runs every check that applies, on what was fed or, when best is true, on the best that may
 * still come. Returns the failed checks' bits and, when result is not NULL, records the verdict
 * there. Without the whole header only the size check runs, and fails. */
static unsigned judge(const struct swug_verify* v, bool best, struct swug_verify_result* result) {
    const unsigned ran = checks_that_apply(v);
    unsigned failed = v->phase == PHASE_HEADER ? BIT(SWUG_CHECK_SIZE) : 0;
    unsigned check;
    worked_out_numbers worked_out;

    work_out_numbers(v, best, worked_out);
    for (check = 0; check < SWUG_CHECK_COUNT; ++check) {
        uint64_t numbers[2] = {0, 0}; /* expected, found */
        if ((ran & BIT(check)) != 0) {
            unsigned side;
            for (side = 0; side < 2; ++side) {
                numbers[side] = number(v, worked_out, compared[check][side]);
            }
            if ((AT_MOST_CHECKS & BIT(check)) != 0 ? numbers[1] > numbers[0]
                                                   : numbers[1] != numbers[0]) {
                failed |= BIT(check);
            }
        }
        if (result != NULL) {
            result->expected[check] = numbers[0];
            result->found[check] = numbers[1];
        }
    }
    if (result != NULL) {
        result->ran = (uint16_t)ran;
        result->failed = (uint16_t)failed;
        result->valid = failed == 0;
    }
    return failed;
}

void swug_verify_start(struct swug_verify* v, uint64_t capacity, uint64_t known_size) {
    v->fed = 0;
    v->bound =
        known_size != SWUG_VERIFY_UNKNOWN_SIZE && known_size < capacity ? known_size : capacity;
    v->known_size = known_size;
    v->left = HEADER_SIZE;
    v->phase = PHASE_HEADER;
    v->sum = 0;
    v->mcu_sum = 0;
    v->add_bytes = sum_bytes;
}

void swug_verify_use_sum(struct swug_verify* v, swug_verify_sum_fn* sum) {
    v->add_bytes = sum;
}

/* Takes count bytes (at most those left) of the part being fed: the header's are kept, the
 * software and MCU OTA images' summed. */
static void take_part_bytes(struct swug_verify* v, const uint8_t* data, size_t count) {
    if (v->phase == PHASE_HEADER) {
        uint8_t* to = v->header + (HEADER_SIZE - v->left);
        size_t at;
        for (at = 0; at < count; ++at) {
            to[at] = data[at];
        }
    } else if (v->phase == PHASE_SOFTWARE) {
        v->sum += v->add_bytes(data, count);
    } else {
        v->mcu_sum += v->add_bytes(data, count);
    }
}

/* Moves on past every part that is complete; an empty part is complete at once. */
static void skip_complete_parts(struct swug_verify* v) {
    while (v->left == 0 && v->phase < PHASE_END) {
        ++v->phase;
        v->left = v->phase == PHASE_SOFTWARE ? field(v, SWUG_VERIFY_LENGTH_OFFSET)
                  : v->phase == PHASE_MCU    ? mcu_length(v)
                                             : 0;
    }
}

void swug_verify_feed(struct swug_verify* v, const uint8_t* data, size_t size) {
    while (size > 0) {
        size_t count = size;
        if (v->phase >= PHASE_END) {
            v->phase = PHASE_PAST;
        } else {
            if (count > v->left) {
                count = v->left;
            }
            take_part_bytes(v, data, count);
            v->left -= (uint32_t)count;
            skip_complete_parts(v);
        }
        v->fed += count;
        data += count;
        size -= count;
    }
}

enum swug_verify_part swug_verify_next(const struct swug_verify* v, uint32_t* left) {
    *left = v->left;
    return v->phase < PHASE_END ? (enum swug_verify_part)v->phase : SWUG_PART_NONE;
}

bool swug_verify_rejected(const struct swug_verify* v) {
    /* Before the header is in, only a size bound below 128 rules the image out. */
    return v->phase == PHASE_HEADER ? v->bound < HEADER_SIZE : judge(v, true, NULL) != 0;
}

bool swug_verify_finish(const struct swug_verify* v, struct swug_verify_result* result) {
    return judge(v, false, result) == 0;
}
