Names beyond the console's code page in command mode:
  $ d='Jörg/ファーム/😀' && mkdir -p "$d" && printf '\1\2\3' > "$d/fw ü.bin" && cd "$d"
  $ swug_gen './fw ü.bin' './出力 📦.bin' && image 'fw ü.bin' | cmp - '出力 📦.bin'
  | gen image file checksum=00000006,size=00000003 |

A missing file beyond the console's code page is named as it is:
  $ d='Jörg/ファーム/😀' && mkdir -p "$d" && cd "$d" && swug_gen ./nöpe.bin ./up.bin
  can't find the software file $CASE/J\xc3\xb6rg/\xe3\x83\x95\xe3\x82\xa1\xe3\x83\xbc\xe3\x83\xa0/\xf0\x9f\x98\x80/n\xc3\xb6pe.bin  (esc)
  [1]

Names beyond the console's code page in interactive mode with an MCU OTA image:
  $ d='Jörg/ファーム/😀' && mkdir -p "$d/data" "$d/out" && cd "$d"
  $ printf '\1\2\3' > data/VRK520_SW.bin && printf abc > mcu_ota.bin && swug_gen
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
  $ swug_gen ./in.bin ./up.bin && image in.bin | cmp - up.bin
  | gen image file checksum=00000126,size=00000003 |

swug_gen writes into NUL in place:
  $ windows_only && printf abc > in.bin && swug_gen in.bin NUL && files
  | gen image file checksum=00000126,size=00000003 |
  in.bin 3

swug_info unpacks into NUL:
  $ windows_only && up_bin && swug_info --sw NUL up.bin | tail -2
  | image is valid |
  | wrote the software image to NUL, size=0000000a |

A folder named with a trailing backslash is refused as an output:
  $ windows_only && printf abc > in.bin && mkdir up && swug_gen in.bin 'up\'
  can't create the upgrade image up\: Is a directory
  [1]

A drive-relative output goes to the drive's current folder:
  $ windows_only && printf abc > in.bin && swug_gen in.bin Z:up.bin && image in.bin | cmp - up.bin
  | gen image file checksum=00000126,size=00000003 |

Bytes that a text-mode stream would change reach the image unchanged, on either system:
  $ for i in $(seq 500); do printf '\n\r\32\r\n\n\32a\r\0'; done > text && mkdir a b c && cd a
  $ cp ../text in.bin && head -c 777 in.bin > mcu_ota.bin && swug_gen in.bin up.bin
  | gen image file checksum=0001a9c8,size=00001388 , MCU ota checksum=000041fe,size=00000309 |
  $ image in.bin mcu_ota.bin | cmp - up.bin
  $ cd ../b && head -c 1024 ../text > in.bin && swug_gen in.bin up.bin
  | gen image file checksum=0000571a,size=00000400 |
  $ image in.bin | cmp - up.bin
  $ cd ../c && : > in.bin && swug_gen in.bin up.bin && image in.bin | cmp - up.bin
  | gen image file checksum=00000000,size=00000000 |

A drive's root is named with two slashes:
  $ mapped q: && printf abc > in.bin && swug_gen ./nope.bin ./up.bin
  can't find the software file Q://nope.bin 
  [1]
  $ swug_gen ./in.bin ./up.bin && image in.bin | cmp - up.bin
  | gen image file checksum=00000126,size=00000003 |

A network share's root is a folder, found with the separator it needs:
  $ mapped unc/swug-test/share && printf abc > in.bin
  $ swug_gen '\\swug-test\share\in.bin' '\\swug-test\share\up.bin' && image in.bin | cmp - up.bin
  | gen image file checksum=00000126,size=00000003 |
  $ printf OLD > old.bin && swug_gen in.bin '\\swug-test\share\old.bin' && cmp up.bin old.bin
  | gen image file checksum=00000126,size=00000003 |
  $ swug_gen in.bin '\\swug-test\share\'; also files
  can't create the upgrade image \\swug-test\share\: Is a directory
  in.bin 3
  old.bin 131
  up.bin 131
  [1]

An image held open unshared is refused before the work starts:
  $ printf abc > in.bin && printf OLD > up.bin && held hold:-:up.bin -- swug_gen in.bin up.bin
  can't write the upgrade image up.bin: it is in use by another process
  [1]
  $ printf OLD | cmp - up.bin && files
  in.bin 3
  up.bin 3

An image held open by a reader who lets nobody write is refused too:
  $ printf abc > in.bin && printf OLD > up.bin && held hold:r:up.bin -- swug_gen in.bin up.bin
  can't write the upgrade image up.bin: it is in use by another process
  [1]
  $ printf OLD | cmp - up.bin && files
  in.bin 3
  up.bin 3

An image that may be written but not replaced is written over:
  $ printf abc > in.bin && printf OLDOLDOLDOLD > up.bin
  $ held hold:rw:up.bin -- swug_gen in.bin up.bin && image in.bin | cmp - up.bin && files
  | gen image file checksum=00000126,size=00000003 |
  stderr: the upgrade image up.bin was written over in place, not replaced in one step: another process has it open
  in.bin 3
  up.bin 131

An image held open by one who lets it be replaced is replaced:
  $ printf abc > in.bin && printf OLD > up.bin
  $ held hold:rwd:up.bin -- swug_gen in.bin up.bin && image in.bin | cmp - up.bin && files
  | gen image file checksum=00000126,size=00000003 |
  in.bin 3
  up.bin 131

A read-only image is refused before the work starts, and stays read-only:
  $ printf abc > in.bin && printf OLD > up.bin
  $ held attrib:r:up.bin show:up.bin -- swug_gen in.bin up.bin
  can't write the upgrade image up.bin: it is read-only
  up.bin: ra
  [1]
  $ printf OLD | cmp - up.bin && files
  in.bin 3
  up.bin 3

A software image held open unshared says why it can't be read:
  $ printf abc > in.bin && held hold:-:in.bin -- swug_gen in.bin up.bin; also files
  can't read the software file in.bin: it is in use by another process
  in.bin 3
  [1]

An mcu_ota.bin held open unshared is left out, and said so:
  $ printf abc > in.bin && printf xyz > mcu_ota.bin
  $ held hold:-:mcu_ota.bin -- swug_gen in.bin up.bin && image in.bin | cmp - up.bin && files
  | gen image file checksum=00000126,size=00000003 |
  stderr: can't open the MCU ota file mcu_ota.bin: it is in use by another process; the upgrade image is made without it
  in.bin 3
  mcu_ota.bin 3
  up.bin 131

A part's file held open unshared is refused before any file is written:
  $ holder_only && up_bin mcu && printf OLD > sw.out
  $ held hold:-:sw.out -- swug_info --mcu mcu.out --sw sw.out up.bin | tail -2
  | image is valid |
  stderr: swug_info: can't write sw.out: it is in use by another process
  [2]
  $ printf OLD | cmp - sw.out && files
  mcu 3
  sw 10
  sw.out 3
  up.bin 141

A read-only part's file is refused before any file is written:
  $ holder_only && up_bin mcu && printf OLD > sw.out
  $ held attrib:r:sw.out -- swug_info --mcu mcu.out --sw sw.out up.bin | tail -2
  | image is valid |
  stderr: swug_info: can't write sw.out: it is read-only
  [2]
  $ printf OLD | cmp - sw.out && files
  mcu 3
  sw 10
  sw.out 3
  up.bin 141

A part's file that may be written but not replaced is written over:
  $ holder_only && up_bin mcu && printf OLDOLDOLDOLD > sw.out
  $ held hold:rw:sw.out -- swug_info --sw sw.out up.bin | tail -3 && cmp sw sw.out && files
  | image is valid |
  | wrote the software image to sw.out, size=0000000a |
  stderr: swug_info: sw.out was written over in place, not replaced in one step: another process has it open
  mcu 3
  sw 10
  sw.out 10
  up.bin 141

An upgrade image held open unshared says why it can't be opened:
  $ up_bin && held hold:-:up.bin -- swug_info up.bin
  stderr: swug_info: can't open the upgrade image up.bin: it is in use by another process
  [2]

A new image is not hidden, though its temporary file was:
  $ printf abc > in.bin && held show:new.bin -- swug_gen in.bin new.bin
  | gen image file checksum=00000126,size=00000003 |
  new.bin: a
  $ image in.bin | cmp - new.bin

A hidden image stays hidden when replaced:
  $ printf abc > in.bin && printf OLD > up.bin
  $ held attrib:h:up.bin show:up.bin -- swug_gen in.bin up.bin && image in.bin | cmp - up.bin
  | gen image file checksum=00000126,size=00000003 |
  up.bin: ha

A hidden system image stays both when replaced:
  $ printf abc > in.bin && printf OLD > up.bin
  $ held attrib:hs:up.bin show:up.bin -- swug_gen in.bin up.bin && image in.bin | cmp - up.bin
  | gen image file checksum=00000126,size=00000003 |
  up.bin: hsa

An image without attributes is not hidden by its replacement:
  $ printf abc > in.bin && printf OLD > up.bin
  $ held attrib:-:up.bin show:up.bin -- swug_gen in.bin up.bin && image in.bin | cmp - up.bin
  | gen image file checksum=00000126,size=00000003 |
  up.bin: a

Two new parts that differ in case are one file:
  $ windows_only && up_bin mcu
  $ swug_info --sw part.bin --mcu PART.BIN up.bin | tail -2; also files
  | image is valid |
  stderr: swug_info: --sw part.bin and --mcu PART.BIN are the same file
  mcu 3
  sw 10
  up.bin 141
  [2]

Two new parts, one with a trailing dot and blank, are one file:
  $ windows_only && up_bin mcu
  $ swug_info --sw p2.bin --mcu 'p2.bin. ' up.bin | tail -2; also files
  | image is valid |
  stderr: swug_info: --sw p2.bin and --mcu p2.bin.  are the same file
  mcu 3
  sw 10
  up.bin 141
  [2]

An existing part's file by its long and its 8.3 name is one file:
  $ windows_only && up_bin mcu && printf OLD > 'long part name.bin'
  $ swug_info --sw 'long part name.bin' --mcu LONG~N3Y.BIN up.bin | tail -2
  | image is valid |
  stderr: swug_info: --sw long part name.bin and --mcu LONG~N3Y.BIN are the same file
  [2]
  $ printf OLD | cmp - 'long part name.bin' && files
  long part name.bin 3
  mcu 3
  sw 10
  up.bin 141

A new part named by the other new part's future 8.3 name is that part, and never takes its file:
  $ windows_only && up_bin mcu
  $ swug_info --sw 'long part name.bin' --mcu LONG~N3Y.BIN up.bin | tail -4
  | image is valid |
  | wrote the software image to long part name.bin, size=0000000a |
  | wrote the MCU ota image to LONG~N3Y.BIN, size=00000003 |
  stderr: swug_info: --sw long part name.bin and --mcu LONG~N3Y.BIN are the same file
  [2]
  $ cmp sw 'long part name.bin' && files
  long part name.bin 10
  mcu 3
  sw 10
  up.bin 141

The software image by its 8.3 name is the output by its long name:
  $ windows_only && printf abc > 'long part name.bin'
  $ swug_gen LONG~N3Y.BIN 'long part name.bin'; also files
  the upgrade image long part name.bin is the software file LONG~N3Y.BIN, refusing to overwrite it
  long part name.bin 3
  [1]

A folder that allows no new files gets its image written over:
  $ windows_only && root_only
  $ mkdir upload && printf abc > in.bin && printf OLDOLDOLDOLDOLDOLDOLDOLD > upload/up.bin
  $ chattr +i upload 2>/dev/null || exit 80
  $ trap 'chattr -i "$CASE/upload"' EXIT
  $ swug_gen in.bin 'upload\up.bin'
  | gen image file checksum=00000126,size=00000003 |
  stderr: the upgrade image upload\up.bin was written over in place, not replaced in one step: its folder allows no new files
  $ chattr -i upload && image in.bin | cmp - upload/up.bin && files
  in.bin 3
  upload/
  upload/up.bin 131
