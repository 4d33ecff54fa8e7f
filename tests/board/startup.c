/* The board's vector table: the stack's top and where to begin after reset. Everything else,
 * from clearing .bss to calling main and ending through semihosting, is newlib's start code
 * (rdimon.specs). A fault ends the run with status 70, which the host reports. */
#include <stdint.h>
#include <stdlib.h>

extern char __stack[];
extern void _start(void);

void reset_handler(void);
void fault_handler(void);

void reset_handler(void) {
    _start();
}

void fault_handler(void) {
    _Exit(70);
}

/* Initial stack pointer, reset, NMI, hard fault, memory management, bus and usage faults. */
__attribute__((section(".vectors"), used)) static const uintptr_t vectors[] = {
    (uintptr_t)__stack,       (uintptr_t)reset_handler, (uintptr_t)fault_handler,
    (uintptr_t)fault_handler, (uintptr_t)fault_handler, (uintptr_t)fault_handler,
    (uintptr_t)fault_handler,
};
