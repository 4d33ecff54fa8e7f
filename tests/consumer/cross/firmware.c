/* Stands in for a device's firmware: at reset it judges, with swug::verify, the upgrade image that
 * the bootloader left in the download slot, its size in the slot's first word. */
#include "swug_verify.h"

#define SLOT_BASE 0x00020000u
#define SLOT_SIZE (128u * 1024u)

extern uint32_t stack_top; /* from flash.ld */
void reset_handler(void);
__attribute__((section(".vectors"), used)) static const void* const vectors[] = {&stack_top,
                                                                                 reset_handler};
volatile bool upgrade_valid;

void reset_handler(void) {
    const uint32_t size = *(const volatile uint32_t*)SLOT_BASE;
    const uint32_t room = SLOT_SIZE - 4u;
    struct swug_verify v;
    struct swug_verify_result verdict;
    swug_verify_start(&v, room, size);
    swug_verify_feed(&v, (const uint8_t*)(SLOT_BASE + 4u), size <= room ? size : 0u);
    upgrade_valid = swug_verify_finish(&v, &verdict);
    for (;;) {
    }
}
