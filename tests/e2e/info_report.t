A valid image:
  $ up_bin && swug_info up.bin
  | image up.bin |
  | size=0000008a |
  | magic=ZQ-TR5200 Image |
  | length=0000000a |
  | sum=00000037 |
  | upgrade_boot=00000000 |
  | mcu_ota_flag=00000000 |
  | mcu_addr=00000000 |
  | mcu_len=00000000 |
  | mcu_sum=00000000 |
  | check size: ok |
  | check magic: ok |
  | check length: ok |
  | check sum: ok |
  | check upgrade_boot: ok |
  | check unused_bytes: ok |
  | check mcu_ota_flag: ok |
  | check mcu_fields: ok |
  | check file_end: ok |
  | image is valid |

A valid image with an MCU OTA image:
  $ up_bin mcu && swug_info up.bin
  | image up.bin |
  | size=0000008d |
  | magic=ZQ-TR5200 Image |
  | length=0000000a |
  | sum=00000037 |
  | upgrade_boot=00000000 |
  | mcu_ota_flag=00000001 |
  | mcu_addr=0000008a |
  | mcu_len=00000003 |
  | mcu_sum=00000126 |
  | check size: ok |
  | check magic: ok |
  | check length: ok |
  | check sum: ok |
  | check upgrade_boot: ok |
  | check unused_bytes: ok |
  | check mcu_ota_flag: ok |
  | check mcu_addr: ok |
  | check mcu_len: ok |
  | check file_end: ok |
  | check mcu_sum: ok |
  | image is valid |

A damaged image:
  $ up_bin 20=0x38 && swug_info up.bin | only '^| sum\|FAILED\|valid'
  | sum=00000038 |
  | check sum: FAILED, expected 00000038, found 00000037 |
  | image is NOT valid: 1 check failed |
  [1]

A file one byte short of a header shows no fields:
  $ up_bin cut=127 && swug_info up.bin
  | image up.bin |
  | size=0000007f |
  | check size: FAILED, expected at least 128 bytes, found 127 bytes |
  | image is NOT valid: 1 check failed |
  [1]

Trailing data: a file's size comes from the system:
  $ up_bin tail=7461696c21 && swug_info up.bin | only 'size\|FAILED\|valid'
  | size=0000008f |
  | check size: ok |
  | check file_end: FAILED, expected 138 bytes, found 143 bytes |
  | image is NOT valid: 1 check failed |
  [1]

An upgrade_boot of 0x100:
  $ up_bin 25=1 && swug_info up.bin | only 'upgrade_boot\|valid'
  | upgrade_boot=00000100 |
  | check upgrade_boot: FAILED, expected 00000000, found 00000100 |
  | image is NOT valid: 1 check failed |
  [1]

A length one byte past the end:
  $ up_bin 16=11 && swug_info up.bin | only 'length\|FAILED\|valid'
  | length=0000000b |
  | check length: FAILED, expected at most 10 bytes, found 11 bytes |
  | check file_end: FAILED, expected 139 bytes, found 138 bytes |
  | image is NOT valid: 2 checks failed |
  [1]

An MCU OTA length over 96 KiB:
  $ up_bin mcu mcu_len=98305 && swug_info up.bin | only 'mcu_len\|FAILED\|valid'
  | mcu_len=00018001 |
  | check mcu_len: FAILED, expected at most 00018000, found 00018001 |
  | check file_end: FAILED, expected 98443 bytes, found 141 bytes |
  | image is NOT valid: 2 checks failed |
  [1]

A stray byte at 61 is named with its value:
  $ up_bin 61=0x5a && swug_info up.bin | only 'FAILED\|valid'
  | check unused_bytes: FAILED, expected zero, found byte 61 = 0000005a |
  | image is NOT valid: 1 check failed |
  [1]

An mcu_addr that fits only when 32 bits wrap, in a sparse file of 4 GiB:
  $ in_memory ': > sw && : > mcu && image sw mcu length=0xffffff90 mcu_addr=0x10 > up.bin &&
  >   truncate -s 4294967312 up.bin && swug_info up.bin' | only 'size\|length\|mcu_addr\|valid'
  | size=100000010 |
  | length=ffffff90 |
  | mcu_addr=00000010 |
  | check size: ok |
  | check length: ok |
  | check mcu_addr: FAILED, expected 128 + length, which does not fit 32 bits, found 00000010 |
  | image is NOT valid: 1 check failed |
  [1]

An MCU OTA flag of 0x100:
  $ up_bin 65=1 && swug_info up.bin
  | image up.bin |
  | size=0000008a |
  | magic=ZQ-TR5200 Image |
  | length=0000000a |
  | sum=00000037 |
  | upgrade_boot=00000000 |
  | mcu_ota_flag=00000100 |
  | mcu_addr=00000000 |
  | mcu_len=00000000 |
  | mcu_sum=00000000 |
  | check size: ok |
  | check magic: ok |
  | check length: ok |
  | check sum: ok |
  | check upgrade_boot: ok |
  | check unused_bytes: ok |
  | check mcu_ota_flag: FAILED, expected 00000000 or 00000001, found 00000100 |
  | image is NOT valid: 1 check failed |
  [1]

Flag 0 with an MCU OTA sum:
  $ up_bin 76=1 && swug_info up.bin | only 'mcu_\|valid'
  | mcu_ota_flag=00000000 |
  | mcu_addr=00000000 |
  | mcu_len=00000000 |
  | mcu_sum=00000001 |
  | check mcu_ota_flag: ok |
  | check mcu_fields: FAILED, expected mcu_addr, mcu_len and mcu_sum 00000000, found 00000000, 00000000 and 00000001 |
  | image is NOT valid: 1 check failed |
  [1]

Three checks fail, and the magic holds a backslash:
  $ up_bin 2=0x5c 20=0x38 65=1 && swug_info up.bin | only 'magic\|FAILED\|valid'
  | magic=ZQ\x5cTR5200 Image |
  | check magic: FAILED, expected ZQ-TR5200 Image, found ZQ\x5cTR5200 Image |
  | check sum: FAILED, expected 00000038, found 00000037 |
  | check mcu_ota_flag: FAILED, expected 00000000 or 00000001, found 00000100 |
  | image is NOT valid: 3 checks failed |
  [1]

A DEL byte in the magic is shown escaped:
  $ up_bin 3=0x7f && swug_info up.bin | grep magic
  | magic=ZQ-\x7fR5200 Image |
  | check magic: FAILED, expected ZQ-TR5200 Image, found ZQ-\x7fR5200 Image |
  [1]

An endless device ends one byte past the expected end:
  $ node zero 1 5 && swug_info zero | only 'size\|magic\|file_end\|valid'
  | size=00000081 |
  | magic=\x00\x00\x00\x00\x00\x00\x00\x00\x00\x00\x00\x00\x00\x00\x00 |
  | check size: ok |
  | check magic: FAILED, expected ZQ-TR5200 Image, found \x00\x00\x00\x00\x00\x00\x00\x00\x00\x00\x00\x00\x00\x00\x00 |
  | check file_end: FAILED, expected 128 bytes, found more than 128 bytes |
  | image is NOT valid: 2 checks failed |
  [1]

An image named with a line break and an escape shows them escaped:
  $ posix_only && ten > sw && printf abc > mcu && image sw mcu > $'x.bin\n| image is valid |\e[2J'
  $ swug_info $'x.bin\n| image is valid |\e[2J' | head -1
  | image x.bin\n| image is valid |\x1b[2J |

The golden images keep their verdicts: VERDICTS lists each with the checks it fails:
  $ g=$TESTS_DIR/golden && ls $g | grep -v VERDICTS | diff - <(cut -d' ' -f1 $g/VERDICTS)
  $ while read -r file checks; do
  >   swug_info $g/$file > report; status=$?
  >   echo $file $(sed -n 's/^| check \([a-z_]*\): FAILED.*/\1/p' report)
  >   [ $status = $([ -z "$checks" ]; echo $?) ] || echo "exit status $status"
  > done < $g/VERDICTS | diff $g/VERDICTS -

Packed images round-trip through swug_gen and swug_info:
  $ pattern 98304 7 1 > bytes && for sizes in '0 -' '1 -' '1023 0' '1024 1' '1025 1024' '70001 98304' '5000 -' '0 3'; do
  >   set -- $sizes && rm -f mcu_ota.bin && head -c $1 bytes > sw
  >   [ $2 = - ] || tail -c $2 bytes > mcu_ota.bin
  >   swug_gen sw up.bin > gen.out
  >   swug_info --sw sw.out $([ $2 = - ] || echo --mcu mcu.out) up.bin | grep 'is valid'
  >   cmp sw sw.out && { [ $2 = - ] || cmp mcu_ota.bin mcu.out; }
  > done
  | image is valid |
  | image is valid |
  | image is valid |
  | image is valid |
  | image is valid |
  | image is valid |
  | image is valid |
  | image is valid |

An image of an Intel HEX text:
  $ printf ':020000040800F2\n:00000001FF\n' > sw && image sw > up.bin
  $ swug_info up.bin | only 'valid'
  | image is valid |
  stderr: swug_info: warning: the software image in up.bin looks like Intel HEX text, not raw binary; a device takes the raw image that objcopy -O binary makes

An MCU OTA image announced at 0xffffffff, the last address a field holds, cut after the header:
  $ : > sw && : > mcu && image sw mcu length=0xffffff7f mcu_addr=0 | head -c 128 > up.bin
  $ swug_info up.bin | only 'mcu_addr:'
  | check mcu_addr: FAILED, expected ffffffff, found 00000000 |
  [1]
