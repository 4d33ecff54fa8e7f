A valid image as JSON:
  $ up_bin && swug_info --json up.bin
  {"schema":1,"valid":true,"image":"up.bin","size":138,"magic":"ZQ-TR5200 Image","length":10,"sum":55,"upgrade_boot":0,"mcu_ota_flag":0,"mcu_addr":0,"mcu_len":0,"mcu_sum":0,"checks":[{"name":"size","ok":true},{"name":"magic","ok":true},{"name":"length","ok":true},{"name":"sum","ok":true},{"name":"upgrade_boot","ok":true},{"name":"unused_bytes","ok":true},{"name":"mcu_ota_flag","ok":true},{"name":"mcu_fields","ok":true},{"name":"file_end","ok":true}],"problems":[],"error":null,"software_format":"binary"}

A short file as JSON, with a name to escape:
  $ posix_only && printf short > 'a"b.bin' && swug_info --json 'a"b.bin'
  {"schema":1,"valid":false,"image":"a\"b.bin","size":5,"magic":null,"length":null,"sum":null,"upgrade_boot":null,"mcu_ota_flag":null,"mcu_addr":null,"mcu_len":null,"mcu_sum":null,"checks":[{"name":"size","ok":false,"expected":"at least 128 bytes","found":"5 bytes"}],"problems":["size: expected at least 128 bytes, found 5 bytes"],"error":null,"software_format":null}
  [1]

A damaged image is not unpacked, as JSON:
  $ up_bin 20=0x38 && swug_info --json --sw sw.out up.bin; also files
  {"schema":1,"valid":false,"image":"up.bin","size":138,"magic":"ZQ-TR5200 Image","length":10,"sum":56,"upgrade_boot":0,"mcu_ota_flag":0,"mcu_addr":0,"mcu_len":0,"mcu_sum":0,"checks":[{"name":"size","ok":true},{"name":"magic","ok":true},{"name":"length","ok":true},{"name":"sum","ok":false,"expected":"00000038","found":"00000037"},{"name":"upgrade_boot","ok":true},{"name":"unused_bytes","ok":true},{"name":"mcu_ota_flag","ok":true},{"name":"mcu_fields","ok":true},{"name":"file_end","ok":true}],"problems":["sum: expected 00000038, found 00000037"],"error":null,"software_format":"binary"}
  stderr: swug_info: not writing the parts of an image that is not valid
  sw 10
  up.bin 138
  [1]

Three checks fail, as JSON:
  $ up_bin 2=0x5c 20=0x38 65=1 && swug_info --json up.bin
  {"schema":1,"valid":false,"image":"up.bin","size":138,"magic":"ZQ\\x5cTR5200 Image","length":10,"sum":56,"upgrade_boot":0,"mcu_ota_flag":256,"mcu_addr":0,"mcu_len":0,"mcu_sum":0,"checks":[{"name":"size","ok":true},{"name":"magic","ok":false,"expected":"ZQ-TR5200 Image","found":"ZQ\\x5cTR5200 Image"},{"name":"length","ok":true},{"name":"sum","ok":false,"expected":"00000038","found":"00000037"},{"name":"upgrade_boot","ok":true},{"name":"unused_bytes","ok":true},{"name":"mcu_ota_flag","ok":false,"expected":"00000000 or 00000001","found":"00000100"}],"problems":["magic: expected ZQ-TR5200 Image, found ZQ\\x5cTR5200 Image","sum: expected 00000038, found 00000037","mcu_ota_flag: expected 00000000 or 00000001, found 00000100"],"error":null,"software_format":"binary"}
  [1]

A name that is no UTF-8, as JSON, is still strict JSON:
  $ posix_only && ten > sw && image sw > $'n\xed\xbf\xbf\xc3\xc3.bin'
  $ swug_info --json $'n\xed\xbf\xbf\xc3\xc3.bin' > doc.json; cat doc.json
  {"schema":1,"valid":true,"image":"n\ufffd\ufffd\ufffd\ufffd\ufffd.bin","size":138,"magic":"ZQ-TR5200 Image","length":10,"sum":55,"upgrade_boot":0,"mcu_ota_flag":0,"mcu_addr":0,"mcu_len":0,"mcu_sum":0,"checks":[{"name":"size","ok":true},{"name":"magic","ok":true},{"name":"length","ok":true},{"name":"sum","ok":true},{"name":"upgrade_boot","ok":true},{"name":"unused_bytes","ok":true},{"name":"mcu_ota_flag","ok":true},{"name":"mcu_fields","ok":true},{"name":"file_end","ok":true}],"problems":[],"error":null,"software_format":"binary"}
  $ "$SWUG_PYTHON" -c 'import json,sys; json.loads(sys.stdin.buffer.read().decode("utf-8"))' < doc.json

Both parts, with JSON alone on standard output:
  $ up_bin mcu && swug_info --json --sw sw.out --mcu mcu.out up.bin
  {"schema":1,"valid":true,"image":"up.bin","size":141,"magic":"ZQ-TR5200 Image","length":10,"sum":55,"upgrade_boot":0,"mcu_ota_flag":1,"mcu_addr":138,"mcu_len":3,"mcu_sum":294,"checks":[{"name":"size","ok":true},{"name":"magic","ok":true},{"name":"length","ok":true},{"name":"sum","ok":true},{"name":"upgrade_boot","ok":true},{"name":"unused_bytes","ok":true},{"name":"mcu_ota_flag","ok":true},{"name":"mcu_addr","ok":true},{"name":"mcu_len","ok":true},{"name":"file_end","ok":true},{"name":"mcu_sum","ok":true}],"problems":[],"error":null,"software_format":"binary"}
  $ cmp sw sw.out && cmp mcu mcu.out

An unknown option after --json:
  $ swug_info --json --bogus up.bin
  {"schema":1,"valid":false,"image":null,"size":null,"magic":null,"length":null,"sum":null,"upgrade_boot":null,"mcu_ota_flag":null,"mcu_addr":null,"mcu_len":null,"mcu_sum":null,"checks":null,"problems":null,"error":"unknown option --bogus","software_format":null}
  stderr: swug_info: unknown option --bogus
  stderr: usage: swug_info [--json] [--slot-size N] [--sw FILE] [--mcu FILE] [--] IMAGE
  [2]

An unknown option before --json:
  $ swug_info --bogus --json up.bin
  {"schema":1,"valid":false,"image":null,"size":null,"magic":null,"length":null,"sum":null,"upgrade_boot":null,"mcu_ota_flag":null,"mcu_addr":null,"mcu_len":null,"mcu_sum":null,"checks":null,"problems":null,"error":"unknown option --bogus","software_format":null}
  stderr: swug_info: unknown option --bogus
  stderr: usage: swug_info [--json] [--slot-size N] [--sw FILE] [--mcu FILE] [--] IMAGE
  [2]

--json given twice:
  $ swug_info --json --json up.bin
  {"schema":1,"valid":false,"image":null,"size":null,"magic":null,"length":null,"sum":null,"upgrade_boot":null,"mcu_ota_flag":null,"mcu_addr":null,"mcu_len":null,"mcu_sum":null,"checks":null,"problems":null,"error":"--json is given twice","software_format":null}
  stderr: swug_info: --json is given twice
  stderr: usage: swug_info [--json] [--slot-size N] [--sw FILE] [--mcu FILE] [--] IMAGE
  [2]

--mcu without its file, then --json:
  $ swug_info up.bin --json --mcu
  {"schema":1,"valid":false,"image":null,"size":null,"magic":null,"length":null,"sum":null,"upgrade_boot":null,"mcu_ota_flag":null,"mcu_addr":null,"mcu_len":null,"mcu_sum":null,"checks":null,"problems":null,"error":"--mcu needs a file name","software_format":null}
  stderr: swug_info: --mcu needs a file name
  stderr: usage: swug_info [--json] [--slot-size N] [--sw FILE] [--mcu FILE] [--] IMAGE
  [2]

--json alone:
  $ swug_info --json
  {"schema":1,"valid":false,"image":null,"size":null,"magic":null,"length":null,"sum":null,"upgrade_boot":null,"mcu_ota_flag":null,"mcu_addr":null,"mcu_len":null,"mcu_sum":null,"checks":null,"problems":null,"error":"no image given","software_format":null}
  stderr: swug_info: no image given
  stderr: usage: swug_info [--json] [--slot-size N] [--sw FILE] [--mcu FILE] [--] IMAGE
  [2]

A missing image, as JSON:
  $ swug_info --json nope.bin
  {"schema":1,"valid":false,"image":"nope.bin","size":null,"magic":null,"length":null,"sum":null,"upgrade_boot":null,"mcu_ota_flag":null,"mcu_addr":null,"mcu_len":null,"mcu_sum":null,"checks":null,"problems":null,"error":"can't open the upgrade image nope.bin: No such file or directory","software_format":null}
  stderr: swug_info: can't open the upgrade image nope.bin: No such file or directory
  [2]

An image that is a folder, as JSON:
  $ mkdir up && swug_info --json up
  {"schema":1,"valid":false,"image":"up","size":null,"magic":null,"length":null,"sum":null,"upgrade_boot":null,"mcu_ota_flag":null,"mcu_addr":null,"mcu_len":null,"mcu_sum":null,"checks":null,"problems":null,"error":"can't read the upgrade image up: Is a directory","software_format":null}
  stderr: swug_info: can't read the upgrade image up: Is a directory
  [2]

--mcu on an image without one: the report and the error, as JSON:
  $ up_bin && swug_info --json --mcu mcu.out up.bin
  {"schema":1,"valid":true,"image":"up.bin","size":138,"magic":"ZQ-TR5200 Image","length":10,"sum":55,"upgrade_boot":0,"mcu_ota_flag":0,"mcu_addr":0,"mcu_len":0,"mcu_sum":0,"checks":[{"name":"size","ok":true},{"name":"magic","ok":true},{"name":"length","ok":true},{"name":"sum","ok":true},{"name":"upgrade_boot","ok":true},{"name":"unused_bytes","ok":true},{"name":"mcu_ota_flag","ok":true},{"name":"mcu_fields","ok":true},{"name":"file_end","ok":true}],"problems":[],"error":"up.bin holds no MCU ota image to write to mcu.out","software_format":"binary"}
  stderr: swug_info: up.bin holds no MCU ota image to write to mcu.out
  [2]

A read error in the image, as JSON:
  $ posix_only && swug_info --json /proc/self/mem
  {"schema":1,"valid":false,"image":"/proc/self/mem","size":null,"magic":null,"length":null,"sum":null,"upgrade_boot":null,"mcu_ota_flag":null,"mcu_addr":null,"mcu_len":null,"mcu_sum":null,"checks":null,"problems":null,"error":"can't read the upgrade image /proc/self/mem: Input/output error","software_format":null}
  stderr: swug_info: can't read the upgrade image /proc/self/mem: Input/output error
  [2]

An image of an ELF program, as JSON:
  $ printf '\177ELF\1\1\1\0\0\0\0\0\0\0\0\0' > sw && image sw > up.bin && swug_info --json up.bin
  {"schema":1,"valid":true,"image":"up.bin","size":144,"magic":"ZQ-TR5200 Image","length":16,"sum":345,"upgrade_boot":0,"mcu_ota_flag":0,"mcu_addr":0,"mcu_len":0,"mcu_sum":0,"checks":[{"name":"size","ok":true},{"name":"magic","ok":true},{"name":"length","ok":true},{"name":"sum","ok":true},{"name":"upgrade_boot","ok":true},{"name":"unused_bytes","ok":true},{"name":"mcu_ota_flag","ok":true},{"name":"mcu_fields","ok":true},{"name":"file_end","ok":true}],"problems":[],"error":null,"software_format":"elf"}
  stderr: swug_info: warning: the software image in up.bin looks like an ELF program, not raw binary; a device takes the raw image that objcopy -O binary makes

A slot one byte smaller, as JSON:
  $ up_bin && swug_info --json --slot-size 137 up.bin
  {"schema":1,"valid":false,"image":"up.bin","size":138,"magic":"ZQ-TR5200 Image","length":10,"sum":55,"upgrade_boot":0,"mcu_ota_flag":0,"mcu_addr":0,"mcu_len":0,"mcu_sum":0,"checks":[{"name":"size","ok":false,"expected":"at most 137 bytes","found":"138 bytes"},{"name":"magic","ok":true},{"name":"length","ok":false,"expected":"at most 9 bytes","found":"10 bytes"},{"name":"sum","ok":true},{"name":"upgrade_boot","ok":true},{"name":"unused_bytes","ok":true},{"name":"mcu_ota_flag","ok":true},{"name":"mcu_fields","ok":true},{"name":"file_end","ok":true}],"problems":["size: expected at most 137 bytes, found 138 bytes","length: expected at most 9 bytes, found 10 bytes"],"error":null,"software_format":"binary"}
  [1]
