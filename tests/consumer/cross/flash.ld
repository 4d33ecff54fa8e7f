/* Flash at 0, RAM at 0x20000000; everything the flash holds is one contiguous block from 0, so
 * that objcopy -O binary writes exactly that block. */
MEMORY { FLASH (rx) : ORIGIN = 0, LENGTH = 256K
         RAM (rwx) : ORIGIN = 0x20000000, LENGTH = 32K }
ENTRY(reset_handler)
PROVIDE(stack_top = ORIGIN(RAM) + LENGTH(RAM));
SECTIONS
{
    .text : { KEEP(*(.vectors)) *(.text*) *(.rodata*) } > FLASH
    .data : { *(.data*) } > RAM AT > FLASH
    .bss (NOLOAD) : { *(.bss*) *(COMMON) } > RAM
    /DISCARD/ : { *(.ARM.exidx*) }
}
