#!/usr/bin/env bash
# The inspection and track tools on files made outside the engine: an archive packed
# by 7z, and track files written by a few lines of Python.
set -euo pipefail
BIN=${DEMOSYS_BIN:?}
HERE=$(cd "$(dirname "$0")" && pwd)
. "${DEMOSYS_SOURCE_DIR:?}/tests/e2e/tool_checks.sh"
work_in_temp_dir

# Archives.
mkdir -p tree/resources/shaders tree/resources/graphics
printf 'void main() {}\n' > tree/resources/shaders/a.frag
head -c 5000 /dev/urandom > tree/resources/graphics/noise.bin
(cd tree && 7z a -ms=off resources.7z resources > /dev/null)
"$BIN/demosys-inspect" archive tree/resources.7z > archive.json
check "archive lists the shader with its size" \
  '{e["name"]: e["size"] for e in j["entries"]}["resources/shaders/a.frag"] == 15' archive.json
check "archive lists the binary with its size" \
  '{e["name"]: e["size"] for e in j["entries"]}["resources/graphics/noise.bin"] == 5000 and j["files"] == 2' archive.json
expect_failure missing.7z "$BIN/demosys-inspect" archive missing.7z
head -c 300 tree/resources.7z > cut.7z
expect_failure cut.7z "$BIN/demosys-inspect" archive cut.7z
# --verify decodes every entry: one the library cannot decode fails the command.
"$BIN/demosys-inspect" archive tree/resources.7z --verify > verify.json
check "verify: every entry decodes" '[e.get("result") for e in j["entries"] if not e["directory"]] == ["ok", "ok"]' verify.json
printf 'deflate64' > tree/resources/d64.bin && (cd tree && 7z a -m0=Deflate64 resources.7z resources/d64.bin > /dev/null)
expect_failure d64.bin "$BIN/demosys-inspect" archive tree/resources.7z --verify
check "verify: the failing entry says why" \
  '[e["name"] for e in j["entries"] if e.get("result", "ok") != "ok"] == ["resources/d64.bin"]' out.txt

# Track files in both stored forms.
python3 "$HERE/write_tracks.py" tracks
for form in packed files; do
  flag=""; [ $form = files ] && flag="--files"
  "$BIN/demosys-inspect" tracks tracks/$form $flag --at 30 > $form.json
  check "$form: entries in name order with priorities" \
    '[(e["name"], e["priority"]) for e in j["entries"]] == [("glow", 1), ("intro", 0)]' $form.json
  check "$form: start keys keep their targets" \
    '[k.get("target") for k in j["entries"][0]["keys"]] == ["staging0", None, "fx buffer", None]' $form.json
  check "$form: an empty target is the screen" 'j["entries"][1]["keys"][0]["target"] == "screen"' $form.json
  check "$form: curve keys" \
    '[(k["row"], k["type"], k["value"]) for k in j["entries"][1]["curves"][0]["keys"]] == [(0,0,0.0),(40,1,1.0),(80,3,0.25)]' $form.json
  check "$form: active at row 30 in drawing order" \
    '[(a["name"], a["target"]) for a in j["at"]["active"]] == [("intro", "screen"), ("glow", "staging0")]' $form.json
  check "$form: values at row 30" \
    '{(v["effect"], v["curve"]): round(v["value"], 5) for v in j["at"]["values"]} == {("intro","fade"): 0.75, ("glow","amount"): 2.5, ("glow","tint"): 0.0}' $form.json
done

# Text round trips through both stored forms.
"$BIN/demosys-tracks" decompile tracks/packed -o script.sync
grep -q '^effect glow priority 1$' script.sync
grep -q 'start 90 "fx buffer"' script.sync
"$BIN/demosys-tracks" compile script.sync rebuilt 2> /dev/null
cmp tracks/packed/track.data rebuilt/track.data
cmp tracks/packed/index.list rebuilt/index.list
"$BIN/demosys-tracks" compile script.sync rebuilt-files --files 2> /dev/null
for f in tracks/files/*.track; do cmp "$f" "rebuilt-files/$(basename "$f")"; done
"$BIN/demosys-tracks" decompile rebuilt-files --files > again.sync
# Curve order in the per-file form follows the file names.
diff <(grep -v '^#' script.sync | sort) <(grep -v '^#' again.sync | sort)

# The rate survives a round trip; compile says it.
printf 'rate 25\neffect a\n  start @00:01.000\n  stop 50\n' > rate.sync
"$BIN/demosys-tracks" compile rate.sync rated 2> compile.txt
grep -q 'at 25 rows per second' compile.txt || { echo "FAILED: compile does not say the rate"; cat compile.txt; exit 1; }
"$BIN/demosys-tracks" decompile rated > rated.sync
grep -q '^rate 25$' rated.sync && grep -q 'start 25 .*# 00:01.000' rated.sync \
  || { echo "FAILED: the rate is lost on a round trip"; cat rated.sync; exit 1; }
"$BIN/demosys-inspect" tracks rated > rated.json
check "inspect reads the stored rate" 'j["rowsPerSecond"] == 25' rated.json

# A compile replaces an earlier timeline's track files and leaves everything else alone.
printf 'effect a\n  start 0\n  curve x\n  curve y\neffect b\n  start 0\n' > old.sync
printf 'effect a\n  start 0\n  curve x\n' > new.sync
"$BIN/demosys-tracks" compile old.sync stale --files 2> /dev/null
echo notes > stale/notes.txt; echo keep > stale/.track
"$BIN/demosys-tracks" compile new.sync stale --files 2> /dev/null
[ "$(cd stale && ls -A | sort | tr '\n' ' ')" = ".track a.track a.x.track notes.txt track.properties " ] \
  || { echo "FAILED: stale track files"; ls -A stale; exit 1; }
"$BIN/demosys-tracks" decompile stale --files | grep -q '^effect b' && { echo "FAILED: effect b is back"; exit 1; }
# The packed form writes no track files: those of the per-file form go.
"$BIN/demosys-tracks" compile new.sync stale 2> /dev/null
[ "$(cd stale && ls -A | sort | tr '\n' ' ')" = ".track index.list notes.txt track.data track.properties " ] \
  || { echo "FAILED: per-file tracks left beside the packed form"; ls -A stale; exit 1; }

# Bad input: one line naming the file, non-zero status.
cp -r tracks/packed short
head -c 30 tracks/packed/track.data > short/track.data
expect_failure track.data "$BIN/demosys-inspect" tracks short
expect_failure track.data "$BIN/demosys-tracks" decompile short
printf '\x05\x00\x00\x00intro.track\x00' > short/index.list
expect_failure index.list "$BIN/demosys-inspect" tracks short
expect_failure nowhere "$BIN/demosys-inspect" tracks nowhere --files
printf 'effect a\n  start 10\n  start 20\n' > bad.sync
expect_failure bad.sync "$BIN/demosys-tracks" compile bad.sync out
printf 'effect a\n  start 10\n  curve x\n    5 1 bouncy\n' > bad2.sync
expect_failure 'bad2.sync:4' "$BIN/demosys-tracks" compile bad2.sync out
printf 'effect a\n  curve "cam/x"\n' > bad3.sync
expect_failure "bad3.sync:2: curve name 'cam/x'" "$BIN/demosys-tracks" compile bad3.sync out

# The sync editors' project file: Glass Hall's script there and back is the same file
# (its ease-out keys, shown as linear, keep their type); a key changed in the project
# changes that line only; a project that is not one changes nothing.
cp "$DEMOSYS_SOURCE_DIR/content/sync/glasshall.sync" gh.sync
"$BIN/demosys-tracks" to-editor gh.sync gh.xml
grep -q '<track name="postprocess_effect:active">' gh.xml || { echo "FAILED: no start/stop track in the project"; exit 1; }
"$BIN/demosys-tracks" from-editor gh.xml gh.sync 2> /dev/null
cmp -s gh.sync "$DEMOSYS_SOURCE_DIR/content/sync/glasshall.sync" || { echo "FAILED: the project round trip changed the script"; exit 1; }
sed -i '/<track name="postprocess_effect:brightness">/{n;s/<key row="0" value="0" interpolation="1"/<key row="0" value="0.25" interpolation="2"/}' gh.xml
sed -i 's#<track name="postprocess_effect:brightness">#&<key row="805" value="1" interpolation="0"/>#' gh.xml
"$BIN/demosys-tracks" from-editor gh.xml gh.sync 2> /dev/null
[ "$(diff "$DEMOSYS_SOURCE_DIR/content/sync/glasshall.sync" gh.sync | grep '^[<>]')" = "$(printf '%s\n' '<     bar 1 0' \
  '>     bar 1 0.25 smooth' '>     bar 21.1+0.5 1 hold')" ] || { echo "FAILED: the project's keys:"; diff "$DEMOSYS_SOURCE_DIR/content/sync/glasshall.sync" gh.sync; exit 1; }
cp gh.sync gh.before
printf '<sync><tracks><track name="a:x"><key row="1" value="nan" interpolation="1"/></track></tracks></sync>\n' > bad.xml
expect_failure "bad.xml: line 1: key value 'nan'" "$BIN/demosys-tracks" from-editor bad.xml gh.sync
printf '<sync>\n<track name="postprocess_effect:active"><key row="5" value="1" interpolation="0"/>\n<key row="9" value="1" interpolation="0"/></track></sync>\n' > bad2.xml
expect_failure "bad2.xml: track 'postprocess_effect:active'" "$BIN/demosys-tracks" from-editor bad2.xml gh.sync
cmp -s gh.sync gh.before || { echo "FAILED: a bad project changed the script"; exit 1; }
echo "tools: all checks passed"
