#!/usr/bin/env bash
# opxvc-h264dec as a command-line tool: exit codes, inputs that are no stream, output to a pipe,
# option checks, y4m headers from the stream's VUI.
#   command_line.sh DECODER SAMPLE WORKDIR [CONFORMANCE_DIR]
set -uo pipefail
dec=$1 sample=$2 work=$3 conf=${4:-}
rm -rf "$work" && mkdir -p "$work"
fails=0
expect() {  # expect CODE DESCRIPTION COMMAND...
  local want=$1 what=$2; shift 2
  "$@" >"$work/out" 2>"$work/err"; local rc=$?
  if [ "$rc" != "$want" ]; then
    echo "FAIL: $what: exit $rc, expected $want"; sed 's/^/  stderr: /' "$work/err" | head -3
    fails=$((fails + 1))
  fi
}
contains() {  # contains FILE TEXT DESCRIPTION
  grep -qF -- "$2" "$1" || { echo "FAIL: $3: '$2' not in $(head -c 200 "$1")"; fails=$((fails + 1)); }
}

# A directory is no input (it used to abort on a size taken from ftell).
expect 1 "directory input" "$dec" "$work"
contains "$work/err" "cannot read" "directory input"
# No picture: an empty file, random bytes without a start code.
: >"$work/empty.264"
expect 1 "empty input" "$dec" "$work/empty.264"
contains "$work/err" "no picture" "empty input"
head -c 4096 /dev/urandom | tr -d '\000\001' >"$work/noise.264"
expect 1 "random bytes" "$dec" "$work/noise.264"
# Standard input and output: y4m on a pipe by default, raw when asked.
"$dec" -o - - <"$sample" >"$work/pipe.y4m" 2>"$work/err" || { echo "FAIL: -o - from stdin"; fails=$((fails + 1)); }
head -c 9 "$work/pipe.y4m" | grep -q "YUV4MPEG2" || { echo "FAIL: -o - is not y4m"; fails=$((fails + 1)); }
[ ! -e ./- ] || { echo "FAIL: -o - made a file named -"; fails=$((fails + 1)); rm -f ./-; }
"$dec" -o - --format raw "$sample" | cmp -s - <("$dec" -o "$work/s.yuv" "$sample"; cat "$work/s.yuv") ||
  { echo "FAIL: --format raw on standard output differs from the raw file"; fails=$((fails + 1)); }
"$dec" -o "$work/UPPER.Y4M" "$sample" && head -c 9 "$work/UPPER.Y4M" | grep -q YUV4MPEG2 ||
  { echo "FAIL: .Y4M suffix not taken as y4m"; fails=$((fails + 1)); }
# The y4m frames are the --md5 frames.
n=$("$dec" --md5 "$sample" | wc -l)
[ "$(grep -c FRAME "$work/pipe.y4m")" = "$n" ] || { echo "FAIL: y4m frame count"; fails=$((fails + 1)); }
# Unwritable output: an I/O error (1), not an unsupported stream (3).
expect 1 "unwritable output" "$dec" -o "$work/no/such/dir/x.yuv" "$sample"
contains "$work/err" "cannot write" "unwritable output"
# Bad options: usage errors (2).
expect 2 "--frames abc" "$dec" --frames abc "$sample"
expect 2 "--frames 0" "$dec" --frames 0 "$sample"
expect 2 "--frames -3" "$dec" --frames -3 "$sample"
expect 2 "two inputs" "$dec" "$sample" "$sample"
expect 2 "unknown option" "$dec" --no-such-option "$sample"
expect 2 "no input" "$dec"
expect 2 "--format bmp" "$dec" --format bmp -o - "$sample"
expect 0 "--help" "$dec" --help
contains "$work/out" "exit status" "--help"
contains "$work/out" "--frames" "--help"
expect 0 "--version" "$dec" --version
expect 0 "--frames 2" "$dec" --md5 --frames 2 "$sample"
[ "$(wc -l <"$work/out")" = 2 ] || { echo "FAIL: --frames 2 gave $(wc -l <"$work/out") frames"; fails=$((fails + 1)); }

if [ -n "$conf" ] && [ -r "$conf/SarVui.264" ]; then
  # The aspect ratio from the VUI (aspect_ratio_idc 8: 80:33... or as coded) reaches the header.
  "$dec" --frames 1 -o - "$conf/SarVui.264" 2>/dev/null | head -1 >"$work/sar.hdr"
  grep -Eq ' A[1-9][0-9]*:[1-9][0-9]* ' "$work/sar.hdr" && ! grep -q ' A1:1 ' "$work/sar.hdr" ||
    { echo "FAIL: SarVui.264 aspect ratio lost: $(cat "$work/sar.hdr")"; fails=$((fails + 1)); }
  # 10-bit output: y4m C420p10 with 16-bit samples (1280x720: 2 bytes x 1.5 x 921600 per frame)
  "$dec" --frames 1 -o - "$conf/PPH10I1_Panasonic_A.264" 2>/dev/null >"$work/p10.y4m"
  head -1 "$work/p10.y4m" | grep -q ' C420p10' ||
    { echo "FAIL: 10-bit y4m header: $(head -1 "$work/p10.y4m")"; fails=$((fails + 1)); }
  [ "$(stat -c %s "$work/p10.y4m")" -eq "$(($(head -1 "$work/p10.y4m" | wc -c) + 6 + 2764800))" ] ||
    { echo "FAIL: 10-bit y4m frame size"; fails=$((fails + 1)); }
else
  echo "conformance streams absent: aspect-ratio cases skipped"
fi

if command -v x264 >/dev/null && command -v ffmpeg >/dev/null; then
  # Full VUI: frame rate, aspect ratio, range and colour description, as x264 writes them.
  ffmpeg -v error -f lavfi -i testsrc=size=64x48:rate=30 -frames:v 3 -pix_fmt yuv420p -f rawvideo "$work/src.yuv"
  x264 --quiet --no-cabac --input-res 64x48 --fps 30000/1001 --sar 80:33 --range pc \
       --colorprim bt709 --transfer smpte170m --colormatrix bt470bg -o "$work/vui.264" "$work/src.yuv" 2>/dev/null
  "$dec" -o - "$work/vui.264" | head -1 >"$work/vui.hdr"
  for tag in W64 H48 F30000:1001 A80:33 C420jpeg XCOLORRANGE=FULL; do
    contains "$work/vui.hdr" "$tag" "y4m header from the VUI"
  done
  "$dec" --md5 "$work/vui.264" | awk '{print $2}' >"$work/ours.md5"
  ffmpeg -v error -threads 1 -i "$work/vui.264" -f framemd5 - | grep -v '^#' | awk -F', *' '{print $6}' >"$work/ref.md5"
  cmp -s "$work/ours.md5" "$work/ref.md5" || { echo "FAIL: VUI stream decodes differently"; fails=$((fails + 1)); }
  # Into x264 through a pipe, as a y4m source.
  "$dec" -o - "$work/vui.264" | x264 --quiet --demuxer y4m -o "$work/again.264" - 2>/dev/null ||
    { echo "FAIL: opxvc-h264dec -o - | x264 --demuxer y4m"; fails=$((fails + 1)); }
  # A stream it does not decode (CABAC): exit 3, a message, and no output file left behind.
  x264 --quiet --cabac --input-res 64x48 -o "$work/cabac.264" "$work/src.yuv" 2>/dev/null
  expect 3 "CABAC stream refused" "$dec" -o "$work/refused.yuv" "$work/cabac.264"
  contains "$work/err" "unsupported stream" "CABAC stream refused"
  [ ! -e "$work/refused.yuv" ] || { echo "FAIL: a refused stream left an output file"; fails=$((fails + 1)); }
else
  echo "x264 or ffmpeg absent: VUI header cases skipped"
fi

[ "$fails" = 0 ] && echo "command line: all cases pass" || { echo "$fails failures"; exit 1; }
