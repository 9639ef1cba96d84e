#!/usr/bin/env bash
# Makes short MPEG-1 and MPEG-2 streams with ffmpeg (testsrc2, 176x144 and odd sizes, the coding
# tools the decoder claims), decodes each with opxvc-m2vdec and with ffmpeg, and checks that
#   - every coded block's dequantised coefficients (--coeffs) equal ffmpeg's dct_coeff rows, and
#     for MPEG-2 the levels path (--path=levels) gives the same;
#   - every plane of every frame is within PSNR >= 60 dB and max |diff| <= 4 of ffmpeg's picture
#     (the inverse DCTs may differ within the IEEE 1180 bounds), with the same frame count;
#   - over 120 P-pictures in a row the drift stays small (see below);
# also in program streams; then that streams the decoder does not handle are refused (exit 3,
# "unsupported stream"), that cut streams end in exit 0 or 1 and streams with flipped bits in 0, 1 or 3, never a
# crash. Exit status 77 (skipped) without ffmpeg.
#   m2vdec_streams.sh DECODER COMPARE [WORKDIR]
set -uo pipefail
dec=$1 cmp=$2
work=${3:-$(mktemp -d)}
mkdir -p "$work"
command -v ffmpeg >/dev/null || { echo "ffmpeg missing"; exit 77; }
fail=0
# name | size | frames | chroma | ffmpeg options (MPEG-1 keeps weight x scale >= 8: ffmpeg's
# own MPEG-1 non-intra dequantisation differs from the standard below that)
cases=(
  "mpeg1_ipb|176x144|12|420|-c:v mpeg1video -bf 2"
  "mpeg1_q1|176x144|8|420|-c:v mpeg1video -bf 0 -g 4 -q:v 1"
  "mpeg1_odd|170x126|12|420|-c:v mpeg1video -bf 2"
  "mpeg2_ipb|176x144|12|420|-c:v mpeg2video -bf 2"
  "mpeg2_intra_vlc|176x144|12|420|-c:v mpeg2video -bf 2 -intra_vlc 1"
  "mpeg2_alternate_scan|176x144|12|420|-c:v mpeg2video -bf 2 -alternate_scan 1"
  "mpeg2_non_linear_quant|176x144|12|420|-c:v mpeg2video -bf 2 -non_linear_quant 1 -qmax 28"
  "mpeg2_q1|176x144|8|420|-c:v mpeg2video -bf 2 -q:v 1"
  "mpeg2_q31|176x144|12|420|-c:v mpeg2video -bf 2 -q:v 31"
  "mpeg2_dc10|176x144|12|420|-c:v mpeg2video -bf 2 -dc 10"
  "mpeg2_matrices|176x144|12|420|-c:v mpeg2video -bf 2 -intra_matrix 8,12,14,16,18,20,22,24,12,14,16,18,20,22,24,26,14,16,18,20,22,24,26,28,16,18,20,22,24,26,28,30,18,20,22,24,26,28,30,32,20,22,24,26,28,30,32,34,22,24,26,28,30,32,34,36,24,26,28,30,32,34,36,38 -inter_matrix 16,17,18,19,20,21,22,23,17,18,19,20,21,22,23,24,18,19,20,21,22,23,24,25,19,20,21,22,23,24,25,26,20,21,22,23,24,25,26,27,21,22,23,24,25,26,27,28,22,23,24,25,26,27,28,29,23,24,25,26,27,28,29,30"
  "mpeg2_intra_only|176x144|6|420|-c:v mpeg2video -g 1"
  "mpeg2_odd|170x126|12|420|-c:v mpeg2video -bf 2"
  "mpeg2_interlaced|352x200|16|420|-vf tinterlace=interleave_top -c:v mpeg2video -bf 2 -flags +ildct+ilme -top 1"
  "mpeg2_422|176x144|12|422|-c:v mpeg2video -bf 2 -pix_fmt yuv422p"
  "mpeg2_422_interlaced|240x136|16|422|-vf tinterlace=interleave_top -c:v mpeg2video -bf 2 -flags +ildct+ilme -top 1 -pix_fmt yuv422p -intra_vlc 1 -alternate_scan 1"
)
# check NAME STREAM W H CHROMA: coefficients and pictures against ffmpeg
check() {
  local name=$1 s=$2 w=$3 h=$4 chroma=$5 r1 r2
  ffmpeg -nostats -threads 1 -loglevel repeat+debug -debug dct_coeff -i "$s" -map 0:v -f null - 2>"$work/$name.log"
  "$dec" --coeffs "$s" >"$work/$name.coeffs" || { echo "$name: decoder failed ($?)"; fail=1; return; }
  r1=$("$cmp" coeffs "$work/$name.log" "$work/$name.coeffs") || { echo "$name: coefficients: $r1"; fail=1; }
  if [[ $name != *mpeg1* ]]; then  # MPEG-2: the same coefficients through the levels path
    "$dec" --coeffs --path=levels "$s" >"$work/$name.levels" &&
      cmp -s "$work/$name.coeffs" "$work/$name.levels" || { echo "$name: --path=levels differs"; fail=1; }
    r1="$r1 (levels path too)"
  fi
  ffmpeg -v error -threads 1 -i "$s" -map 0:v -vsync passthrough -f rawvideo -y "$work/$name.ref.yuv"
  "$dec" -o "$work/$name.yuv" "$s" || { echo "$name: decoder failed ($?)"; fail=1; return; }
  r2=$("$cmp" frames "$w" "$h" "$chroma" "$work/$name.yuv" "$work/$name.ref.yuv") ||
    { echo "$name: pictures: $r2"; fail=1; }
  echo "$name: ${r1##*$'\n'}; ${r2##*$'\n'}"
}
for c in "${cases[@]}"; do
  IFS='|' read -r name size frames chroma opts <<<"$c"
  s=$work/$name.m2v
  # shellcheck disable=SC2086
  ffmpeg -v error -f lavfi -i "testsrc2=size=$size:rate=25" -frames:v "$frames" $opts -y "$s" ||
    { echo "$name: ffmpeg could not make the stream"; fail=1; continue; }
  check "$name" "$s" "${size%x*}" "${size#*x}" "$chroma"
done

# program streams: MPEG-2 in a VOB with an audio stream beside it, MPEG-1 in an MPEG-1 system stream
ffmpeg -v error -f lavfi -i testsrc2=size=176x144:rate=25 -f lavfi -i sine -frames:v 12 \
  -c:v mpeg2video -bf 2 -c:a mp2 -shortest -f vob -y "$work/ps_vob.vob" && check ps_vob "$work/ps_vob.vob" 176 144 420
ffmpeg -v error -f lavfi -i testsrc2=size=176x144:rate=25 -frames:v 12 -c:v mpeg1video -bf 2 \
  -f mpeg -y "$work/ps_mpeg1.mpg" && check ps_mpeg1 "$work/ps_mpeg1.mpg" 176 144 420

# drift: 120 P-pictures after one I-picture. ffmpeg's default integer IDCT drifts from an
# accurate one (its own -idct faani, and ours) down to about 53 dB per plane on this stream, so
# the bound against it is 50 dB; against ffmpeg with its floating-point IDCT it is 70 dB.
ffmpeg -v error -f lavfi -i testsrc2=size=176x144:rate=25 -frames:v 121 -c:v mpeg2video -g 300 \
  -bf 0 -q:v 2 -y "$work/drift.m2v"
"$dec" -o "$work/drift.yuv" "$work/drift.m2v" || { echo "drift: decoder failed"; fail=1; }
ffmpeg -v error -threads 1 -i "$work/drift.m2v" -vsync passthrough -f rawvideo -y "$work/drift.ref.yuv"
r=$("$cmp" frames 176 144 420 "$work/drift.yuv" "$work/drift.ref.yuv" 50) || { echo "$r"; fail=1; }
echo "drift (121 frames, one I-picture) against ffmpeg: ${r##*$'\n'}"
if ffmpeg -v error -threads 1 -idct faani -i "$work/drift.m2v" -vsync passthrough -f rawvideo \
     -y "$work/drift.faani.yuv"; then
  r=$("$cmp" frames 176 144 420 "$work/drift.yuv" "$work/drift.faani.yuv" 70) || { echo "$r"; fail=1; }
  echo "drift against ffmpeg -idct faani: ${r##*$'\n'}"
fi

# refusals: exit 3 with "unsupported stream", no output file
base=$work/mpeg2_ipb.m2v
for kind in chroma444 fields; do
  "$cmp" patch $kind "$base" "$work/refuse_$kind.m2v" || { echo "refusal $kind: patch failed"; fail=1; continue; }
  rm -f "$work/refuse_$kind.yuv"
  msg=$("$dec" -o "$work/refuse_$kind.yuv" "$work/refuse_$kind.m2v" 2>&1)
  rc=$?
  if [ $rc -ne 3 ] || [[ "$msg" != *"unsupported stream"* ]] || [ -e "$work/refuse_$kind.yuv" ]; then
    echo "refusal $kind: exit $rc, \"$msg\""; fail=1
  else
    echo "refusal $kind: $msg"
  fi
done

msg=$("$dec" --path=levels "$work/mpeg1_ipb.m2v" 2>&1)
rc=$?
[ $rc -eq 3 ] && [[ "$msg" == *"unsupported stream"* ]] || { echo "--path=levels on MPEG-1: exit $rc"; fail=1; }

# cut streams: decoded up to the damage, exit 0 or 1
size=$(stat -c %s "$base")
for cut in 3 40 500 $((size / 3)) $((size / 2 + 7)) $((size - 5)); do
  head -c "$cut" "$base" >"$work/cut.m2v"
  "$dec" --md5 "$work/cut.m2v" >/dev/null 2>&1
  rc=$?
  [ $rc -le 1 ] || { echo "cut at $cut bytes: exit $rc"; fail=1; }
done
echo "cut streams: done"

# streams with flipped bits: exit 0, 1 or 3, never a crash
crashes=0
for base in "$work/mpeg2_interlaced.m2v" "$work/mpeg1_ipb.m2v" "$work/mpeg2_422_interlaced.m2v" "$work/ps_vob.vob"; do
  for seed in $(seq 1 15); do
    "$cmp" flip "$seed" "$base" "$work/flip.m2v" || continue
    "$dec" --md5 "$work/flip.m2v" >/dev/null 2>&1
    rc=$?
    [ $rc -le 3 ] || { echo "$(basename "$base") with bits flipped (seed $seed): exit $rc"; crashes=1; }
  done
done
[ $crashes -eq 0 ] || fail=1
echo "flipped bits: done"

# --frames and y4m output
"$dec" --frames 5 -o "$work/five.y4m" "$base" || fail=1
head -c 9 "$work/five.y4m" | grep -q YUV4MPEG2 || { echo "y4m header missing"; fail=1; }
n=$(grep -c FRAME "$work/five.y4m")
[ "$n" -eq 5 ] || { echo "--frames 5 wrote $n frames"; fail=1; }
exit $fail
