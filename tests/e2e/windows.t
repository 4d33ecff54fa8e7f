Names beyond the console's code page in command mode:
  $ d='Jörg/ファーム/😀' && mkdir -p "$d" && printf '\1\2\3' > "$d/fw ü.bin" && cd "$d"
  $ swug_gen './fw ü.bin' './出力 📦.bin'
  | gen image file checksum=00000006,size=00000003 |
  $ image 'fw ü.bin' | cmp - '出力 📦.bin'

A missing file beyond the console's code page is named as it is:
  $ d='Jörg/ファーム/😀' && mkdir -p "$d" && cd "$d"
  $ swug_gen ./nöpe.bin ./up.bin
  can't find the software file $CASE/J\xc3\xb6rg/\xe3\x83\x95\xe3\x82\xa1\xe3\x83\xbc\xe3\x83\xa0/\xf0\x9f\x98\x80/n\xc3\xb6pe.bin  (esc)
  [1]

Names beyond the console's code page in interactive mode with an MCU OTA image:
  $ d='Jörg/ファーム/😀' && mkdir -p "$d/data" "$d/out" && cd "$d"
  $ printf '\1\2\3' > data/VRK520_SW.bin && printf abc > mcu_ota.bin
  $ swug_gen
  | gen image file checksum=00000006,size=00000003 , MCU ota checksum=00000126,size=00000003 |
  Press any key to exit! (no-eol)
  $ image data/VRK520_SW.bin mcu_ota.bin | cmp - out/VRK520_UPGRADE_SW.bin

Paths have no limit of their own: 300 Japanese letters, past Windows' MAX_PATH:
  $ j=$(printf 'フ%.0s' {1..80}) && mkdir -p $j/$j/$j && printf abc > in.bin
  $ swug_gen in.bin $j/$j/$j/$(printf 'フ%.0s' {1..53}).bin
  | gen image file checksum=00000126,size=00000003 |
  $ image in.bin | cmp - $j/$j/$j/$(printf 'フ%.0s' {1..53}).bin

Paths have no limit of their own: 300 UTF-16 code units of emojis:
  $ e=$(printf '😀%.0s' {1..60}) && mkdir -p $e/$e && printf abc > in.bin
  $ swug_gen in.bin $e/$e/$(printf '😀%.0s' {1..26})xy.bin
  | gen image file checksum=00000126,size=00000003 |
  $ image in.bin | cmp - $e/$e/$(printf '😀%.0s' {1..26})xy.bin

./ in a working folder of 126 Japanese letters:
  $ d=$(printf 'フ%.0s' {1..60})/$(printf 'フ%.0s' {1..65}) && mkdir -p $d && printf abc > $d/in.bin && cd $d
  $ swug_gen ./in.bin ./up.bin
  | gen image file checksum=00000126,size=00000003 |
  $ image in.bin | cmp - up.bin

swug_gen writes into NUL in place:
  $ windows_only
  $ printf abc > in.bin
  $ swug_gen in.bin NUL && files
  | gen image file checksum=00000126,size=00000003 |
  in.bin 3

swug_info unpacks into NUL:
  $ windows_only
  $ printf abc > sw && image sw > up.bin
  $ swug_info --sw NUL up.bin | tail -2
  | image is valid |
  | wrote the software image to NUL, size=00000003 |

A folder named with a trailing backslash is refused as an output:
  $ windows_only
  $ printf abc > in.bin && mkdir up
  $ swug_gen in.bin 'up\'
  can't create the upgrade image up\: Is a directory
  [1]

A drive-relative output goes to the drive's current folder:
  $ windows_only
  $ printf abc > in.bin
  $ swug_gen in.bin Z:up.bin
  | gen image file checksum=00000126,size=00000003 |
  $ image in.bin | cmp - up.bin
