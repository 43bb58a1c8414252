#!/usr/bin/env bash
# demosys-inspect video on files vpxenc makes here: a sound one, one cut short, one with
# a damaged frame and some that are no video at all.
set -euo pipefail
BIN=${DEMOSYS_BIN:?}
command -v vpxenc > /dev/null || { echo "FAILED: vpxenc is not installed (package vpx-tools)"; exit 1; }
. "${DEMOSYS_SOURCE_DIR:?}/tests/e2e/tool_checks.sh"
work_in_temp_dir

# 20 frames of 32x32 noise-free gradient, a key frame every 6.
python3 - <<'PY'
w, h, n = 32, 32, 20
out = bytearray()
for k in range(n):
    out += bytes((x * 5 + y * 3 + k * 9) % 220 + 16 for y in range(h) for x in range(w))
    out += bytes(128 + (k % 8) for _ in range(2 * (w // 2) * (h // 2)))
open("frames.yuv", "wb").write(out)
PY
vpxenc --codec=vp8 --ivf --i420 -w 32 -h 32 --fps=25/1 --timebase=1/25 --limit=20 --kf-min-dist=6 \
  --kf-max-dist=6 --auto-alt-ref=0 --lag-in-frames=0 --quiet -o clip.ivf frames.yuv 2> /dev/null

"$BIN/demosys-inspect" video clip.ivf > clip.json
check "header fields" \
  '(j["version"], j["headerSize"], j["fourcc"], j["width"], j["height"], j["rate"], j["scale"], j["headerFrameCount"]) == (0, 32, "VP80", 32, 32, 25, 1, 20)' clip.json
check "frames and key frames" \
  'j["frameCount"] == 20 and j["keyFrames"] == [0, 6, 12, 18] and j["keyFrameCount"] == 4' clip.json
check "every frame decodes" \
  'j["allFramesDecode"] and j["failedFrames"] == [] and j["complete"] and j["warnings"] == [] and not j["timestampMode"]' clip.json
check "timestamps" 'j["lastTimestamp"] == 19' clip.json

# Cut inside the last frame: the index stops before it, the rest still decodes.
size=$(stat -c %s clip.ivf)
head -c $((size - 7)) clip.ivf > cut.ivf
expect_failure cut.ivf "$BIN/demosys-inspect" video cut.ivf
grep -q "is cut short: frame 19" err.txt || { echo "FAILED: cut file message:"; cat err.txt; exit 1; }
check "cut file keeps the whole frames" \
  'j["frameCount"] == 19 and not j["complete"] and j["allFramesDecode"] and len(j["warnings"]) == 1' out.txt

# Frame 8's data overwritten: 8 fails, and so do 9 to 11 that build on it, not 12.
python3 - <<'PY'
import struct
d = bytearray(open("clip.ivf", "rb").read())
pos = 32
for i in range(8):
    pos += 12 + struct.unpack_from("<I", d, pos)[0]
size = struct.unpack_from("<I", d, pos)[0]
d[pos + 12:pos + 12 + size] = b"\xff" * size
open("damaged.ivf", "wb").write(d)
PY
expect_failure damaged.ivf "$BIN/demosys-inspect" video damaged.ivf
check "damaged frames" 'j["failedFrames"] == [8, 9, 10, 11] and len(j["errors"]) == 1 and not j["allFramesDecode"]' out.txt

# No video at all.
expect_failure missing.ivf "$BIN/demosys-inspect" video missing.ivf
printf 'RIFF....WAVEfmt ' > riff.ivf
expect_failure riff.ivf "$BIN/demosys-inspect" video riff.ivf
head -c 20 clip.ivf > header.ivf
expect_failure header.ivf "$BIN/demosys-inspect" video header.ivf
echo "video tool: all checks passed"
