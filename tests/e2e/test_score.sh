#!/usr/bin/env bash
# The score tool on a small score: render, encode with lame, read back; its errors.
set -euo pipefail
BIN=${DEMOSYS_BIN:?}
SCORE_TOOL="$BIN/demosys-score"
. "${DEMOSYS_SOURCE_DIR:?}/tests/e2e/tool_checks.sh"
work_in_temp_dir

fail() { echo "FAILED: $*"; exit 1; }

cat > small.score <<'SCORE'
tempo 120
rows 20
bars 4
tail 1
instrument kick kick
instrument hat hat gain -12
instrument pad pad gain -10 reverb 0.3
instrument lead lead gain -8 delay 0.3
chord Am A1 : A3 C4 E4
chord F F1 : F3 A3 C4
progression two Am F
pattern four X... X... X... X...
pattern off ..x. ..x. ..x. ..x.
melody tune
  E5:1 C5:1 A4:2 | F5:2 C5:2 |
end
section one 1 2
  chords two
  play pad
  play lead tune
end
section two 3 2
  chords two
  play kick four
  play hat off
  play pad
end
SCORE

"$SCORE_TOOL" sections small.score > sections.txt
grep -q "^two .* 3-4 .*00:04.000-00:08.000 .*80-160" sections.txt || { cat sections.txt; fail "section table"; }

"$SCORE_TOOL" render small.score a.wav > render.txt
"$SCORE_TOOL" render small.score b.wav > /dev/null
cmp -s a.wav b.wav || fail "two renders of one score differ"
[ "$(soxi -s a.wav)" -eq $((9 * 44100)) ] || fail "a.wav is not 4 bars + 1 s long: $(soxi -s a.wav) samples"
[ "$(soxi -r a.wav)" -eq 44100 ] && [ "$(soxi -c a.wav)" -eq 2 ] && [ "$(soxi -b a.wav)" -eq 16 ] || fail "format"
grep -q "normalising to -1.0 dBFS" render.txt || fail "render summary: $(cat render.txt)"

# Bars 3-4 alone: 2 bars + tail, starting on the first kick.
"$SCORE_TOOL" render small.score part.wav --bars 3-4 > /dev/null
[ "$(soxi -s part.wav)" -eq $((5 * 44100)) ] || fail "part.wav length"
"$SCORE_TOOL" analyse part.wav > part.txt
awk '/^first hit/ { exit !($3 < 1.0) }' part.txt || { cat part.txt; fail "the first kick of bar 3 is not at 0"; }

# Through lame and back: same length, no shift.
lame --quiet --noreplaygain -V2 a.wav a.mp3
"$SCORE_TOOL" analyse a.mp3 --reference a.wav --score small.score --rows 80-100 > mp3.txt
grep -q "^length     9000 ms" mp3.txt || { cat mp3.txt; fail "decoded MP3 length"; }
awk '/^shift/ { exit !($2 >= -220 && $2 <= 220) }' mp3.txt || { cat mp3.txt; fail "MP3 shifted against the render by more than 5 ms"; }
# The kicks of section two stand out on the beat.
awk '$1 == "two" { exit !($4 > 2.0) }' mp3.txt || { cat mp3.txt; fail "no beat in section two"; }

# Errors: one line on standard error naming the file and line.
sed 's/^pattern off .*/pattern off ..x. ..y./' small.score > bad.score
expect_failure "bad.score:13:" "$SCORE_TOOL" render bad.score x.wav
expect_failure "missing.score" "$SCORE_TOOL" sections missing.score
head -c 3000 a.wav > cut.wav
expect_failure "cut.wav" "$SCORE_TOOL" analyse cut.wav
expect_failure "usage" "$SCORE_TOOL" render small.score
echo "score tool: all checks passed"
