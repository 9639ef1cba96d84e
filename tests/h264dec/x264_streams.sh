#!/usr/bin/env bash
# Makes short CAVLC streams with the x264 command line (odd picture sizes, several contents and
# feature settings), decodes each with opxvc-h264dec --md5 and with ffmpeg, and compares the
# per-frame digests. Exit status 77 (skipped) when x264 or ffmpeg is missing.
#   x264_streams.sh DECODER [WORKDIR]
set -uo pipefail
dec=$1
work=${2:-$(mktemp -d)}
mkdir -p "$work"
command -v x264 >/dev/null && command -v ffmpeg >/dev/null || { echo "x264/ffmpeg missing"; exit 77; }
fail=0 n=0
: >"$work/calls.txt"
# name | size | lavfi source | frames | x264 options
cases=(
  "ip_basic|176x144|testsrc|12|--profile baseline --bframes 0 --ref 1"
  "odd_size|98x74|testsrc2|10|--profile baseline --ref 2"
  "odd_size_b|138x58|mandelbrot|14|--profile high --bframes 3 --weightp 1 --8x8dct --ref 5"
  "explicit_b|96x96|testsrc2|14|--profile main --bframes 2 --weightb --weightp 2 --ref 3 --b-pyramid strict"
  "intra_refresh|112x64|testsrc|16|--profile baseline --intra-refresh --keyint 8 --ref 1"
  "mono|70x46|testsrc|6|--profile high --output-csp i400 --input-csp i400"
  "bframes_spatial|160x96|testsrc2|20|--profile main --bframes 3 --b-pyramid none --direct spatial --ref 3"
  "bframes_temporal|144x80|testsrc|20|--profile main --bframes 2 --direct temporal --ref 2 --b-pyramid none"
  "bpyramid_refs|120x72|mandelbrot|24|--profile main --bframes 3 --b-pyramid normal --ref 4 --direct auto"
  "weightp|128x96|testsrc2|16|--profile main --weightp 2 --ref 3 --bframes 0"
  "weightb|112x64|testsrc|16|--profile main --weightb --bframes 2 --ref 2"
  "dct8x8|200x120|testsrc2|12|--profile high --8x8dct --bframes 2 --ref 2"
  "cqm_jvt|96x64|testsrc|10|--profile high --8x8dct --cqm jvt --bframes 1"
  "slices|176x144|testsrc2|10|--profile main --slices 4 --bframes 1"
  "deblock|150x90|mandelbrot|10|--profile main --deblock -3:2 --bframes 1"
  "nodeblock|64x48|testsrc|8|--profile main --no-deblock"
  "constrained_intra|112x80|testsrc2|12|--profile baseline --constrained-intra --ref 2"
  "intra_only|88x72|mandelbrot|5|--profile high --keyint 1 --8x8dct"
  "partitions|160x112|testsrc2|12|--profile high --partitions all --8x8dct --bframes 2 --subme 7 --ref 3"
  "keyint|80x48|testsrc|30|--profile main --keyint 7 --min-keyint 3 --bframes 2"
  "lowqp|48x48|testsrc2|6|--profile high --qp 4 --8x8dct"
  "highqp|96x80|mandelbrot|8|--profile main --qp 50 --bframes 2"
  # MBAFF (--tff) from interlaced sources: two 50 Hz pictures of scrolling content woven into each
  # frame, so that x264 codes some pairs as fields and some as frames
  "mbaff_intra|176x144|testsrc2=size=176x144:rate=50,scroll=v=0.02,tinterlace=mode=interleave_top|4|--profile high --tff --keyint 1 --8x8dct"
  "mbaff_intra4x4|112x96|mandelbrot=size=112x96:rate=50,scroll=h=0.03,tinterlace=mode=interleave_top|3|--profile main --tff --keyint 1 --no-deblock --qp 20"
  "mbaff_p|176x144|testsrc2=size=176x144:rate=50,scroll=v=0.02,tinterlace=mode=interleave_top|8|--profile high --tff --bframes 0 --ref 3 --8x8dct"
  "mbaff_p_weightp|176x144|testsrc2=size=176x144:rate=50,scroll=v=0.02,tinterlace=mode=interleave_top|8|--profile main --tff --bframes 0 --ref 2 --weightp 2"
  # B frames: direct prediction with co-located field and frame pairs, implicit weights per
  # field macroblock; pairs skipped whole infer their kind from the pair on the left or above
  "mbaff_b_spatial|176x144|testsrc2=size=176x144:rate=50,scroll=v=0.02,tinterlace=mode=interleave_top|12|--profile main --tff --bframes 2 --ref 2 --direct spatial --b-pyramid none --no-weightb"
  "mbaff_b_temporal|176x144|testsrc2=size=176x144:rate=50,scroll=v=0.02,tinterlace=mode=interleave_top|12|--profile main --tff --bframes 2 --ref 2 --direct temporal --b-pyramid none --no-weightb"
  "mbaff_b_implicit|176x144|testsrc2=size=176x144:rate=50,scroll=v=0.02,tinterlace=mode=interleave_top|12|--profile main --tff --bframes 2 --ref 2 --direct temporal --weightb"
  "mbaff_b_pyramid|176x144|testsrc2=size=176x144:rate=50,scroll=v=0.02,tinterlace=mode=interleave_top|14|--profile high --tff --bframes 3 --ref 3 --direct auto --b-pyramid normal --weightb --8x8dct"
  "mbaff_mono|176x144|testsrc2=size=176x144:rate=50,scroll=v=0.02,tinterlace=mode=interleave_top|10|--profile high --tff --bframes 2 --ref 2 --8x8dct --output-csp i400 --input-csp i400"
  "mbaff_lossless|176x144|testsrc2=size=176x144:rate=50,scroll=v=0.02,tinterlace=mode=interleave_top|6|--tff --qp 0 --bframes 1"
  "mbaff_slices|176x144|testsrc2=size=176x144:rate=50,scroll=v=0.02,tinterlace=mode=interleave_top|8|--profile main --tff --slices 3 --bframes 1 --deblock -2:1"
  # constrained intra prediction: intra field macroblocks beside frame pairs of an intra and an
  # inter macroblock (the half-macroblock reconstruction); x264 does not always keep to the
  # rule there, these sources and settings do
  "mbaff_cip|176x144|life=size=176x144:rate=50:mold=4:seed=6,tinterlace=mode=interleave_top|12|--profile high --tff --bframes 0 --ref 1 --constrained-intra --qp 20 --scenecut 0 --8x8dct"
  "mbaff_cip8x8|176x160|life=size=176x160:rate=50:mold=4:seed=20,tinterlace=mode=interleave_top|12|--profile high --tff --bframes 0 --ref 1 --constrained-intra --qp 16 --scenecut 0 --8x8dct --partitions i8x8"
)
# Decodes stream $3 (library calls counted into calls.txt) and compares its frame digests with
# ffmpeg's, reporting under name $1 and description $2; leaves ffmpeg's digests in $expected.
compare() {
  expected=$(ffmpeg -v error -threads 1 -i "$3" -f framemd5 - | grep -v '^#' | awk -F', *' '{print $6}')
  local actual
  actual=$("$dec" --md5 --calls "$3" 2>>"$work/calls.txt" | awk '{print $2}')
  n=$((n + 1))
  if [ "$expected" == "$actual" ] && [ -n "$expected" ]; then
    echo "$1 ($2): $(echo "$expected" | wc -l) frames bit-exact"
  else
    echo "$1 ($2): MISMATCH: $(diff <(echo "$expected") <(echo "$actual") | head -1)"
    fail=1
  fi
}
for c in "${cases[@]}"; do
  IFS='|' read -r name size src frames opts <<<"$c"
  yuv=$work/$name.yuv s=$work/$name.264
  pix=yuv420p; csp=i420
  case "$opts" in *i400*) pix=gray; csp=i400;; esac
  case "$src" in *=*) lavfi=$src ;; *) lavfi="$src=size=$size:rate=25" ;; esac
  ffmpeg -v error -f lavfi -i "$lavfi" -frames:v "$frames" -pix_fmt $pix -f rawvideo -y "$yuv" || { echo "$name: source failed"; fail=1; continue; }
  # shellcheck disable=SC2086
  x264 --quiet --no-cabac --threads 1 --input-res "$size" --input-csp $csp $opts -o "$s" "$yuv" 2>/dev/null || { echo "$name: x264 failed"; fail=1; continue; }
  compare "$name" "$size, $opts" "$s"
done
# 4:2:2, high bit depth and lossless streams: the source has temporal noise (coefficients in
# every block, escape levels at low qp).
# name | size | source pixel format | x264 input csp | depth | frames | x264 options
high_cases=(
  "422_b8x8|64x48|yuv422p|i422|8|8|--bframes 2 --ref 3 --8x8dct"
  "422_weighted|98x74|yuv422p|i422|8|10|--weightp 2 --weightb --bframes 3 --b-pyramid normal --direct temporal"
  "422_intra_cqm|80x64|yuv422p|i422|8|3|--keyint 1 --8x8dct --cqm jvt"
  "422_qp1|48x48|yuv422p|i422|8|3|--qp 1 --bframes 1"
  "422_slices|176x144|yuv422p|i422|8|4|--slices 3 --deblock -2:2 --constrained-intra --8x8dct"
  "422_parts|112x80|yuv422p|i422|8|8|--partitions all --direct spatial --bframes 2 --8x8dct"
  "10_b8x8|96x64|yuv420p10le|i420|10|8|--bframes 2 --ref 3 --8x8dct --no-weightb --qp 24"
  "10_weighted|98x74|yuv420p10le|i420|10|10|--weightp 2 --weightb --bframes 3 --b-pyramid normal --direct temporal"
  "10_intra_cqm|80x64|yuv420p10le|i420|10|3|--keyint 1 --8x8dct --cqm jvt"
  "10_qp1|48x48|yuv420p10le|i420|10|3|--qp 1"
  "10_qp63|64x48|yuv420p10le|i420|10|4|--qp 63 --bframes 1"
  "10_slices|176x144|yuv420p10le|i420|10|4|--slices 3 --deblock -2:2 --constrained-intra"
  "10_nodeblock|70x46|yuv420p10le|i420|10|5|--no-deblock --partitions all --direct spatial --bframes 2"
  "10_gray|64x48|gray10le|i400|10|4|--bframes 1 --8x8dct"
  "422_10_b8x8|64x48|yuv422p10le|i422|10|8|--bframes 2 --ref 3 --8x8dct"
  "422_10_weighted|98x74|yuv422p10le|i422|10|8|--weightp 2 --weightb --bframes 3 --direct temporal"
  "422_10_intra|80x64|yuv422p10le|i422|10|3|--keyint 1 --8x8dct --cqm jvt"
  "422_10_qp1|48x48|yuv422p10le|i422|10|3|--qp 1 --bframes 1"
  "lossless_420|70x46|yuv420p|i420|8|5|--qp 0 --bframes 2"
  "lossless_422_intra|80x64|yuv422p|i422|8|3|--qp 0 --keyint 1 --8x8dct"
  "lossless_10_intra|64x48|yuv420p10le|i420|10|3|--qp 0 --keyint 1 --8x8dct"
  "lossless_422_10|64x48|yuv422p10le|i422|10|5|--qp 0 --bframes 2"
  "10_mbaff_cip|176x144|yuv420p10le|i420|10|12|--tff --bframes 0 --ref 1 --constrained-intra --qp 20 --scenecut 0 --8x8dct"
  "10_mbaff_cip8x8|176x160|yuv420p10le|i420|10|12|--tff --bframes 0 --ref 1 --constrained-intra --qp 16 --scenecut 0 --8x8dct --partitions i8x8"
)
for c in "${high_cases[@]}"; do
  IFS='|' read -r name size pix csp depth frames opts <<<"$c"
  yuv=$work/$name.yuv s=$work/$name.264
  fade=; case "$name" in *weighted*) fade=",fade=in:0:8";; esac  # explicit weights for P
  lavfi="testsrc2=size=$size:rate=25,noise=alls=6:allf=t$fade"
  case "$name" in
    *mbaff_cip) lavfi="life=size=176x144:rate=50:mold=4:seed=6,tinterlace=mode=interleave_top" ;;
    *mbaff_cip8x8) lavfi="life=size=176x160:rate=50:mold=4:seed=20,tinterlace=mode=interleave_top" ;;
  esac
  ffmpeg -v error -f lavfi -i "$lavfi" -frames:v "$frames" -pix_fmt "$pix" -f rawvideo -y "$yuv" || { echo "$name: source failed"; fail=1; continue; }
  # shellcheck disable=SC2086
  x264 --quiet --no-progress --no-cabac --threads 1 --input-res "$size" --input-csp "$csp" --output-csp "$csp" \
    --input-depth "$depth" --output-depth "$depth" $opts -o "$s" "$yuv" 2>/dev/null || { echo "$name: x264 failed"; fail=1; continue; }
  compare "$name" "$size $pix, $opts" "$s"
  # y4m output (C422, C420p10, C422p10 headers) read back by ffmpeg gives the same frames
  case "$name" in 422_b8x8|10_qp1|422_10_b8x8)
    "$dec" -o "$work/$name.y4m" "$s" &&
      [ "$(ffmpeg -v error -i "$work/$name.y4m" -f framemd5 - | grep -v '^#' | awk -F', *' '{print $6}')" == "$expected" ] &&
      echo "$name: y4m output read back alike" || { echo "$name: y4m output DIFFERS"; fail=1; };;
  esac
  # lossless: the decoded pictures are the encoder's input
  case "$opts" in *"--qp 0"*)
    "$dec" -o "$work/$name.out.yuv" "$s" && cmp -s "$yuv" "$work/$name.out.yuv" &&
      echo "$name: output equals the source" || { echo "$name: output DIFFERS from the source"; fail=1; };;
  esac
done
# sample format changes at IDR pictures: 8-bit 4:2:0, 10-bit, 4:2:2, lossless 10-bit 4:2:2,
# 10-bit gray, 8-bit gray in one stream decode as each stream alone (ffmpeg's framemd5 would
# convert all to the first format, so the separate decodes are the reference)
joined=(odd_size_b 10_weighted 422_b8x8 lossless_422_10 10_gray mono)
for j in "${joined[@]}"; do cat "$work/$j.264"; done >"$work/joined.264"
expected=$(for j in "${joined[@]}"; do "$dec" --md5 "$work/$j.264"; done | awk '{print $2}')
actual=$("$dec" --md5 "$work/joined.264" | awk '{print $2}')
n=$((n + 1))
if [ "$expected" == "$actual" ] && [ -n "$expected" ]; then
  echo "format changes at IDR (${joined[*]}): $(echo "$expected" | wc -l) frames as decoded alone"
else
  echo "format changes at IDR: MISMATCH: $(diff <(echo "$expected") <(echo "$actual") | head -1)"; fail=1
fi
# the library functions these streams exist for were all called (--calls); x264 makes no
# explicit bi-directional weights, so opxiBidirWeight_H264_16u_P2P1R is not among them
for f in opxiDecodeCAVLCCoeffs_H264_1u32s opxiDecodeCAVLCChromaDcCoeffs_H264_1u32s \
  opxiDecodeCAVLCChroma422DcCoeffs_H264_1u16s opxiDecodeCAVLCChroma422DcCoeffs_H264_1u32s \
  opxiReconstructLumaInter4x4_H264High_32s16u_IP1R opxiReconstructLumaInter8x8_H264High_32s16u_IP1R \
  opxiReconstructLumaIntra4x4_H264High_32s16u_IP1R opxiReconstructLumaIntra8x8_H264High_32s16u_IP1R \
  opxiReconstructLumaIntra16x16_H264High_32s16u_IP1R opxiReconstructChromaInter4x4_H264High_32s16u_IP2R \
  opxiReconstructChromaIntra4x4_H264High_32s16u_IP2R opxiReconstructChroma422Inter4x4_H264High_16s8u_IP2R \
  opxiReconstructChroma422Inter4x4_H264High_32s16u_IP2R opxiReconstructChroma422Intra4x4_H264High_16s8u_IP2R \
  opxiReconstructChroma422Intra4x4_H264High_32s16u_IP2R opxiInterpolateLumaBlock_H264_16u_P1R \
  opxiInterpolateChromaBlock_H264_16u_P2R opxiBidir_H264_16u_P2P1R opxiUnidirWeight_H264_16u_IP2P1R \
  opxiBidirWeightImplicit_H264_16u_P2P1R \
  opxiFilterDeblockingLumaVerEdge_H264_16u_C1IR opxiFilterDeblockingLumaHorEdge_H264_16u_C1IR \
  opxiFilterDeblockingChromaVerEdge_H264_16u_C1IR opxiFilterDeblockingChromaHorEdge_H264_16u_C1IR \
  opxiFilterDeblockingChroma422VerEdge_H264_8u_C1IR opxiFilterDeblockingChroma422HorEdge_H264_8u_C1IR \
  opxiFilterDeblockingChroma422VerEdge_H264_16u_C1IR opxiFilterDeblockingChroma422HorEdge_H264_16u_C1IR \
  opxiReconstructLumaIntraHalf4x4MB_H264_16s8u_C1R opxiReconstructChromaIntraHalfs4x4MB_H264_16s8u_P2R \
  opxiReconstructLumaIntraHalf4x4_H264High_32s16u_IP1R opxiReconstructChromaIntraHalf4x4_H264High_32s16u_IP2R \
  opxiReconstructLumaIntraHalf8x8MB_H264_16s8u_C1R opxiReconstructLumaIntraHalf8x8_H264High_32s16u_IP1R \
  opxiFilterDeblockingLuma_VerEdge_MBAFF_H264_8u_C1IR opxiFilterDeblockingChroma_VerEdge_MBAFF_H264_8u_C1IR \
  opxiFilterDeblockingLumaVerEdgeMBAFF_H264_16u_C1IR opxiFilterDeblockingChromaVerEdgeMBAFF_H264_16u_C1IR; do
  grep -q "^$f [1-9]" "$work/calls.txt" || { echo "--calls: $f never called"; fail=1; }
done
# streams outside the decoder's scope are refused with exit status 3 and a message
ffmpeg -v error -f lavfi -i "testsrc=size=64x48:rate=25" -frames:v 4 -pix_fmt yuv420p -f rawvideo -y "$work/r.yuv"
for r in "cabac|--cabac" "cabac422|--cabac --output-csp i422" "cabac10|--cabac --output-depth 10" "yuv444|--no-cabac --output-csp i444"; do
  IFS='|' read -r name opts <<<"$r"
  # shellcheck disable=SC2086
  if ! x264 --quiet --threads 1 --input-res 64x48 $opts -o "$work/r_$name.264" "$work/r.yuv" 2>/dev/null; then
    echo "refusal $name: x264 cannot make it here, skipped"; continue
  fi
  msg=$("$dec" --md5 "$work/r_$name.264" 2>&1 >/dev/null)
  rc=$?
  if [ $rc -eq 3 ] && echo "$msg" | grep -q "unsupported stream"; then
    echo "refusal $name: $msg"
  else
    echo "refusal $name: NOT REFUSED (exit $rc: $msg)"; fail=1
  fi
done
echo "$n streams, $([ $fail = 0 ] && echo all bit-exact || echo FAILURES)"
exit $fail
