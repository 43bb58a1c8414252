#!/usr/bin/env bash
# demosys-inspect image on files that ImageMagick writes: every format the engine reads
# (PNG, JPEG, TGA, BMP; RGB, RGBA, grey and palette forms, run-length TGA) is decoded
# at its size with the engine's channels, and damaged or unsupported files are refused
# with one line that names the file and says why.
set -euo pipefail
BIN=${DEMOSYS_BIN:?}
. "${DEMOSYS_SOURCE_DIR:?}/tests/e2e/tool_checks.sh"
work_in_temp_dir
command -v convert > /dev/null || { echo "FAILED: convert is not installed (package imagemagick)"; exit 1; }

# A 40 x 24 gradient with a red corner, opaque or half transparent.
convert -size 40x24 gradient:navy-gold -fill red -draw 'rectangle 0,0 9,5' rgb.ppm
convert rgb.ppm -alpha set -channel A -evaluate set 50% +channel rgba.png
check_image() { # check_image FILE TYPE CHANNELS
  "$BIN/demosys-inspect" image "$1" > "$1.json" || { echo "FAILED: $1: $(cat "$1.json")"; exit 1; }
  check "$1" "j['type'] == '$2' and j['width'] == 40 and j['height'] == 24 and j['channels'] == $3" "$1.json"
}
convert rgb.ppm rgb.png && check_image rgb.png png 3
check_image rgba.png png 4
convert rgb.ppm -quality 90 rgb.jpg && check_image rgb.jpg jpeg 3
convert rgb.ppm -colorspace Gray grey.jpg && check_image grey.jpg jpeg 3
convert rgb.ppm -interlace JPEG progressive.jpg && check_image progressive.jpg jpeg 3
convert rgb.ppm rgb.tga && check_image rgb.tga tga 3
convert rgba.png rgba.tga && check_image rgba.tga tga 4
convert rgb.ppm -compress RLE rle.tga && check_image rle.tga tga 3
convert rgb.ppm -type Palette -colors 16 palette.tga && check_image palette.tga tga 3
convert rgb.ppm -colorspace Gray grey.tga && check_image grey.tga tga 3
convert rgb.ppm BMP3:rgb.bmp && check_image rgb.bmp bmp 3
convert rgba.png BMP:rgba.bmp && check_image rgba.bmp bmp 4
convert rgb.ppm -type Palette -colors 16 BMP3:palette.bmp && check_image palette.bmp bmp 3

# Damaged: cut short, or with the header's size fields overwritten.
for f in rgb.png rgb.jpg progressive.jpg rgb.tga rle.tga rgb.bmp palette.bmp; do
  head -c $(( $(stat -c %s "$f") / 2 )) "$f" > "cut_$f"
  expect_failure "cut_$f: damaged" "$BIN/demosys-inspect" image "cut_$f"
done
overwrite() { # overwrite FILE OFFSET BYTES COPY: COPY is FILE with BYTES written at OFFSET
  cp "$1" "$4" && printf "$3" | dd of="$4" bs=1 seek="$2" conv=notrunc 2> /dev/null
}
overwrite rgb.tga 12 '\x40\x1f\x40\x1f' big.tga
expect_failure "big.tga: damaged (tga)" "$BIN/demosys-inspect" image big.tga
overwrite rgb.bmp 18 '\x00\x00\x01\x00' big.bmp
expect_failure "big.bmp: damaged (bmp)" "$BIN/demosys-inspect" image big.bmp
overwrite rgb.tga 12 '\xff\x7f\xff\x7f' huge.tga
expect_failure "huge.tga: too large (tga)" "$BIN/demosys-inspect" image huge.tga
# Formats the engine does not read, and no image at all.
convert rgb.ppm rgb.gif
expect_failure "rgb.gif: unsupported image type" "$BIN/demosys-inspect" image rgb.gif
expect_failure "rgb.ppm: unsupported image type" "$BIN/demosys-inspect" image rgb.ppm
# A 256-colour BMP3 is run-length encoded, which the decoder does not read.
convert rgb.ppm -type Palette -colors 256 BMP3:rle.bmp
expect_failure "rle.bmp: unsupported image type (bmp)" "$BIN/demosys-inspect" image rle.bmp
printf 'not an image\n' > text.png
expect_failure "text.png: unsupported image type" "$BIN/demosys-inspect" image text.png
expect_failure "missing.png: not found" "$BIN/demosys-inspect" image missing.png
echo "image tool: all checks passed"
