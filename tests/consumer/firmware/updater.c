/* The device-side example of docs/device-library.md, built by the package test for a Cortex-M0+
 * against the installed swug::verify: a firmware's updater that feeds the chunks as they arrive
 * from the radio, flashes the parts as they stream past and boots only a valid image. The board's
 * own functions are declared only: a static library needs no more. */
#include "swug_verify.h"

/* The board's own. */
size_t radio_receive(uint8_t* buffer, size_t size); /* 0: the transfer is over */
uint32_t radio_announced_length(void);              /* 0: none announced */
bool flash_write(int bank, uint32_t offset, const uint8_t* data, size_t size);
void boot_the_new_image(void);
#define SLOT_SIZE (512u * 1024u)
enum { SOFTWARE_BANK, MCU_BANK };

bool receive_upgrade(void) {
    static uint8_t chunk[512];
    struct swug_verify v;
    struct swug_verify_result verdict;
    uint32_t written[2] = {0, 0}; /* bytes in each bank so far */
    size_t size;

    /* None announced is SWUG_VERIFY_UNKNOWN_SIZE, 0. */
    swug_verify_start(&v, SLOT_SIZE, radio_announced_length());
    while ((size = radio_receive(chunk, sizeof chunk)) != 0) {
        const uint8_t* at = chunk;
        while (size > 0) {
            /* Cut the chunk where a part ends, so that each piece goes to its own bank. */
            uint32_t left;
            const enum swug_verify_part part = swug_verify_next(&v, &left);
            const size_t piece = part == SWUG_PART_NONE || left > size ? size : left;
            if (part == SWUG_PART_SOFTWARE || part == SWUG_PART_MCU) {
                const int bank = part == SWUG_PART_SOFTWARE ? SOFTWARE_BANK : MCU_BANK;
                if (!flash_write(bank, written[bank], at, piece)) {
                    return false;
                }
                written[bank] += (uint32_t)piece;
            }
            swug_verify_feed(&v, at, piece);
            at += piece;
            size -= piece;
        }
        if (swug_verify_rejected(&v)) {
            return false; /* a bad header, too big for the slot, a wrong sum: stop receiving */
        }
    }
    if (!swug_verify_finish(&v, &verdict)) {
        return false; /* verdict.failed tells which checks failed */
    }
    boot_the_new_image();
    return true;
}
