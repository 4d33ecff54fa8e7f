/* The emulated MPS2 board with an AN385 Cortex-M3 (qemu-system-arm -machine mps2-an385): 4 MiB
 * of code memory at 0, where the vector table must begin, and 4 MiB of data memory at
 * 0x20000000. QEMU loads every section where it is linked, so nothing is copied at start. */
MEMORY
{
    CODE (rx) : ORIGIN = 0x00000000, LENGTH = 4M
    DATA (rwx) : ORIGIN = 0x20000000, LENGTH = 4M
}
ENTRY(reset_handler)
SECTIONS
{
    /* With the C library's constructors and destructors. */
    .text : {
        KEEP(*(.vectors)) *(.text*) KEEP(*(.init)) KEEP(*(.fini)) *(.rodata*) . = ALIGN(4);
        PROVIDE_HIDDEN(__preinit_array_start = .); KEEP(*(.preinit_array))
        PROVIDE_HIDDEN(__preinit_array_end = .);
        PROVIDE_HIDDEN(__init_array_start = .); KEEP(*(SORT(.init_array.*))) KEEP(*(.init_array))
        PROVIDE_HIDDEN(__init_array_end = .);
        PROVIDE_HIDDEN(__fini_array_start = .); KEEP(*(SORT(.fini_array.*))) KEEP(*(.fini_array))
        PROVIDE_HIDDEN(__fini_array_end = .);
    } > CODE
    .ARM.exidx : { *(.ARM.exidx* .gnu.linkonce.armexidx.*) } > CODE
    .data : { *(.data*) } > DATA
    .bss (NOLOAD) : {
        . = ALIGN(4); __bss_start__ = .; *(.bss*) *(COMMON) . = ALIGN(4); __bss_end__ = .;
    } > DATA
    /* The heap grows up from here, the stack down from the end of data memory. */
    PROVIDE(end = .); PROVIDE(_end = .); PROVIDE(__end__ = .);
    __stack = ORIGIN(DATA) + LENGTH(DATA);
}
