#!/usr/bin/env bash
# Makes short MPEG-4 Visual, H.263 and H.261 streams with ffmpeg (testsrc2, 176x144 and odd sizes, the coding
# tools the decoder claims), decodes each with opxvc-m4vdec and checks against ffmpeg
# (-flags +bitexact -idct simple):
# (I/P/B-VOPs, 1MV and 4MV, half- and quarter-sample prediction, GMC S-VOPs, H.263 and MPEG quantisation with loaded matrices, video packets (also
# slices ending at fixed macroblocks of B-VOPs), data
# partitioning;
# H.263 baseline with GOB headers, advanced prediction (Annex F), unrestricted vectors (Annex D),
# H.263 version 2 with Annexes D, I, J, S and T (DQUANT too); H.261 QCIF and CIF, with the loop filter);
#   - with the AVDCT plugin's "simple" IDCT every frame's MD5 equals ffmpeg's;
#   - with the built-in IDCT every plane of every frame is within PSNR >= 48 dB;
# rewrites of the coefficient data (--rewrite, --rewrite-rvlc with reversible VLC decoded forward
# and backward, --dquant-compat); then that streams with tools the decoder lacks are refused (exit 3, "unsupported stream") and
# that damaged streams end in exit 0, 1 or 3.
# Exit status 77 (skipped) without ffmpeg or without the plugin (libavcodec-dev).
#   m4v_streams.sh DECODER PLUGIN COMPARE [WORKDIR]
set -uo pipefail
dec=$1 plugin=$2 cmp=$3
# The plugin's library keeps a few allocations of its own until exit (freed by nobody, not ours):
# leak checking is off for the runs that load it, in sanitized builds.
with_plugin() { ASAN_OPTIONS="${ASAN_OPTIONS:+$ASAN_OPTIONS:}detect_leaks=0" "$dec" "$@"; }
work=${4:-$(mktemp -d)}
mkdir -p "$work"
command -v ffmpeg >/dev/null || { echo "ffmpeg missing"; exit 77; }
[ -f "$plugin" ] || { echo "IDCT plugin missing (libavcodec-dev)"; exit 77; }
fail=0
encoders=$(ffmpeg -hide_banner -encoders 2>/dev/null)
mat() { # 64 weights: $1 first, $2 last, the rest a ramp
  local s=$1 i
  for ((i = 1; i < 63; i++)); do s+=",$((16 + i))"; done
  echo "$s,$2"
}
# a zooming (the output size follows) and rotating source
zoom="testsrc2=size=352x288:rate=25,zoompan=z='1+0.004*on':x='iw/2-(iw/zoom/2)':y='ih/2-(ih/zoom/2)':d=1:s"
turn="rotate=0.003*n"
# name | source (size=, or a later :s=, the output's) | ffmpeg options (-c:v mpeg4 -bf 0 unless they say
# otherwise) | decoder options
cases=(
  "basic|testsrc2=size=176x144|-q:v 4 -g 12 -bf 2"
  "mv4|testsrc2=size=98x74|-q:v 4 -flags +mv4 -bf 1"
  "odd|mandelbrot=size=130x98|-q:v 3 -flags +mv4 -g 8"
  "mpeg_quant|testsrc2=size=176x144|-q:v 2 -mpeg_quant 1 -bf 1"
  "matrices|testsrc2=size=176x144|-q:v 3 -mpeg_quant 1 -intra_matrix $(mat 1 255) -inter_matrix $(mat 255 1)"
  "packets|testsrc2=size=176x144|-q:v 4 -ps 300 -bf 2"
  "q1|testsrc2=size=176x144|-q:v 1 -g 6"
  "q31|testsrc2=size=176x144|-q:v 31"
  "masks|testsrc2=size=176x144|-q:v 1 -lumi_mask 0.2 -tcplx_mask 0.2 -mbd rd"
  "xvid_mq|testsrc2=size=176x144|-c:v libxvid -mpeg_quant 1 -flags +mv4 -trellis 1"
  "xvid_aq|testsrc2=size=130x98|-c:v libxvid -lumi_aq 1"
  "motion|testsrc2=size=176x144,scroll=h=0.04:v=0.03|-q:v 5 -bf 2 -ps 250"
  "partitioned|testsrc2=size=176x144|-q:v 4 -bf 2 -flags +mv4 -data_partitioning 1 -ps 300"
  # slices end at fixed macroblocks: B macroblocks not coded (their co-located one skipped) before
  # a video packet's resync marker
  "b_packets|testsrc2=size=176x144|-q:v 8 -bf 2 -threads 2 -slices 3"
  "partitioned_mq|mandelbrot=size=130x98|-b:v 300k -mpeg_quant 1 -data_partitioning 1 -ps 200"
  # quarter-sample prediction: P and B (direct mode, 4MV), both rounding controls
  "qpel|testsrc2=size=200x120|-q:v 5 -flags +qpel+mv4 -bf 2 -g 15"
  # sizes not a multiple of 16, noise in the rows below the picture and vectors reaching past
  # its bottom: four-vector and direct-mode 8x8 blocks as ffmpeg limits their positions
  "edge_qpel|testsrc2=size=130x98,scroll=h=0.01:v=0.1,noise=alls=12:allf=t|-b:v 2M -flags +qpel+mv4 -bf 2"
  "edge_mv4|testsrc2=size=320x184,scroll=h=0.01:v=0.1,noise=alls=12:allf=t|-b:v 2M -flags +mv4 -bf 2"
  # global motion compensation: S-VOPs with three warping points at 1/16 sample from a zooming,
  # rotating source, with quarter-sample and half-sample vectors, and at 130x98 (warps reaching
  # past the picture's edge)
  "xvid_gmc_qpel|$zoom=176x144,$turn|-c:v libxvid -gmc 1 -flags +qpel -q:v 4 -g 30"
  "xvid_gmc|$zoom=176x144,$turn|-c:v libxvid -gmc 1 -q:v 4 -g 30"
  "xvid_gmc_odd|$zoom=130x98,$turn|-c:v libxvid -gmc 1 -flags +qpel -q:v 4 -g 30"
  # B-VOPs around S-VOPs (direct mode from GMC macroblocks' global vectors)
  "xvid_gmc_b|$zoom=176x144,$turn|-c:v libxvid -gmc 1 -flags +qpel -q:v 4 -g 30 -bf 2"
  "h263|testsrc2=size=176x144|-c:v h263 -q:v 5"
  "h263_gobs|testsrc2=size=352x288|-c:v h263 -q:v 3 -ps 400 -g 10"
  "h263_sqcif|mandelbrot=size=128x96|-c:v h263 -q:v 12"
  # advanced prediction (Annex F): overlapped prediction, also four vectors and vectors past the
  # edge; ffmpeg takes some right neighbours' vectors from stale tables, --obmc-compat does too
  "h263_obmc|testsrc2=size=128x96|-c:v h263 -q:v 8 -obmc 1|--obmc-compat"
  "h263_obmc_mv4|testsrc2=size=176x144,scroll=h=0.04:v=0.03|-c:v h263 -q:v 8 -obmc 1 -flags +mv4|--obmc-compat"
  # H.263 version 2 (PLUSPTYPE, custom picture size): advanced intra coding (Annex I), the
  # deblocking filter (Annex J), modified quantisation (Annex T, which ffmpeg adds to Annex I);
  # also with four vectors
  "h263p|testsrc2=size=200x120|-c:v h263p -q:v 6 -flags +aic+loop"
  "h263p_mv4|testsrc2=size=200x120,scroll=h=0.04:v=0.03|-c:v h263p -q:v 12 -flags +aic+loop+mv4"
  # all four with advanced prediction at a size not a multiple of 16
  "h263p_obmc|testsrc2=size=200x120,scroll=h=0.04:v=0.03|-c:v h263p -q:v 5 -flags +aic+loop+mv4 -obmc 1|--obmc-compat"
  # unrestricted vectors (Annex D with PLUSPTYPE: reversible vector codes, no wrapping) reaching
  # past the picture's edges, at a size not a multiple of 16, with rate control, and with four
  # vectors under the deblocking filter or advanced prediction
  "h263p_umv|testsrc2=size=200x120,scroll=h=0.01:v=0.1,noise=alls=12:allf=t|-c:v h263p -b:v 2M -umv 1 -flags +mv4+loop"
  "h263p_umv_obmc|testsrc2=size=176x144,scroll=h=0.01:v=0.1,noise=alls=12:allf=t|-c:v h263p -b:v 2M -umv 1 -obmc 1 -flags +mv4|--obmc-compat"
  # the alternative inter VLC (Annex S: inter blocks in the intra codes of Table I.2 where the
  # inter codes would give more than 64 coefficients, and the intra meaning of CBPY when both
  # chrominance blocks are coded), with every other version 2 tool here and at QP 2 alone
  "h263p_aiv|testsrc2=size=176x144,scroll=h=0.04:v=0.03|-c:v h263p -q:v 4 -flags +aic+loop+mv4 -obmc 1 -umv 1 -aiv 1|--obmc-compat"
  "h263p_aiv_q2|testsrc2=size=200x120,scroll=h=0.04:v=0.03|-c:v h263p -q:v 2 -aiv 1"
  "h261|testsrc2=size=176x144|-c:v h261 -q:v 6"
  "h261_cif|mandelbrot=size=352x288|-c:v h261 -q:v 2 -g 8"
  # the loop filter (FIL) on the prediction of macroblocks with vectors
  "h261_loop|testsrc2=size=352x288|-c:v h261 -q:v 4 -flags +loop"
)
for c in "${cases[@]}"; do
  IFS='|' read -r name src opts dopts <<<"$c"
  s=$work/$name.m4v
  if [[ $opts == *libxvid* ]] && [[ $encoders != *libxvid* ]]; then
    echo "$name: skipped (ffmpeg without libxvid)"
    continue
  fi
  fmt=m4v
  [[ $opts == *h263* ]] && fmt=h263
  [[ $opts == *h261* ]] && fmt=h261
  # shellcheck disable=SC2086
  ffmpeg -v error -y -f lavfi -i "$src" -frames:v 24 -threads 1 -c:v mpeg4 -bf 0 $opts \
    -f $fmt "$s" || { echo "$name: ffmpeg could not encode"; fail=1; continue; }
  ref=(ffmpeg -v fatal -threads 1 -flags +bitexact -idct simple -i "$s" -fps_mode passthrough)
  "${ref[@]}" -f framemd5 - | awk -F', *' '!/^#/ {print n++, $6}' >"$work/$name.md5"
  "${ref[@]}" -f rawvideo -y "$work/$name.ref.yuv"
  # shellcheck disable=SC2086
  with_plugin $dopts --md5 --idct-plugin "$plugin:simple" "$s" >"$work/$name.ours.md5" ||
    { echo "$name: decoder failed (plugin IDCT)"; fail=1; }
  cmp -s "$work/$name.md5" "$work/$name.ours.md5" ||
    { echo "$name: frame digests differ from ffmpeg's:"; diff "$work/$name.md5" "$work/$name.ours.md5" | head -4; fail=1; }
  # shellcheck disable=SC2086
  "$dec" $dopts -o "$work/$name.yuv" --format raw "$s" || { echo "$name: decoder failed"; fail=1; continue; }
  size=${src#*size=}
  [[ $src == *:s=* ]] && size=${src##*:s=}
  size=${size%%[,:]*} w=${size%x*} h=${size#*x}
  r=$("$cmp" frames "$w" "$h" 420 "$work/$name.yuv" "$work/$name.ref.yuv" 48) || fail=1
  echo "$name: plugin IDCT bit-exact, built-in IDCT: $r"
done

# H.263 version 1 with Annex D (which ffmpeg does not write): the PTYPE bit set in the headers of
# ffmpeg streams with fast motion makes their vector codes resolve by the Annex D rule (also with
# predictors outside -31..32, which take the value of the predictor's sign); ffmpeg decodes the
# results as the reference; also with four vectors and overlapped prediction
for c in "h263_umv||" "h263_umv_obmc|-obmc 1 -flags +mv4|--obmc-compat"; do
  IFS='|' read -r name opts dopts <<<"$c"
  s=$work/$name.m4v
  # shellcheck disable=SC2086
  ffmpeg -v error -y -f lavfi -i testsrc2=size=176x144,scroll=h=0.09:v=-0.1 -frames:v 24 -threads 1 \
    -c:v h263 -q:v 5 $opts -f h263 "$work/$name.plain.m4v" &&
    perl -0777 -pe 's/\x00\x00([\x80-\x83])(.)(.)/"\x00\x00$1$2" . chr(ord($3) | 1)/gse' \
      "$work/$name.plain.m4v" >"$s" || { echo "$name: no stream"; fail=1; continue; }
  ffmpeg -v error -threads 1 -flags +bitexact -idct simple -i "$s" -fps_mode passthrough -f framemd5 - |
    awk -F', *' '!/^#/ {print n++, $6}' >"$work/$name.md5"
  # shellcheck disable=SC2086
  with_plugin $dopts --md5 --idct-plugin "$plugin:simple" "$s" >"$work/$name.ours.md5" &&
    cmp -s "$work/$name.md5" "$work/$name.ours.md5" || { echo "$name: digests differ"; fail=1; }
done

# --rewrite: every block's coefficients decoded to levels and re-encoded by the library in the
# codes they had (H.263 Table 16, Table I.2 also for Annex S blocks, Annex T escapes; H.261;
# MPEG-4 with its escapes), the stuffing before MPEG-4 resync markers and start codes redone:
# H.263 and H.261 streams come out byte for byte, MPEG-4 ones (escape choices may differ) decode
# in ffmpeg to the original's digests. --reencode-check compares each re-encoded block with its
# input bits: none differs in H.263, H.261 and xvid streams; in ffmpeg's MPEG-4 streams those
# that differ (another escape choice) decode to the same levels (else the decoder fails)
for name in basic b_packets partitioned partitioned_mq qpel edge_mv4 xvid_gmc_b xvid_mq h263_gobs \
  h263_obmc_mv4 h263p_obmc h263p_umv h263p_aiv h263_umv h261_cif h261_loop; do
  s=$work/$name.m4v
  [ -f "$s" ] || continue
  check=$("$dec" --quiet --reencode-check --rewrite "$work/$name.rw" "$s" 2>&1 >/dev/null) ||
    { echo "$name: --rewrite --reencode-check failed: $check"; fail=1; continue; }
  differ=$(sed -n 's/.*re-encode check: [0-9]* blocks, \([0-9]*\) coded differently.*/\1/p' <<<"$check")
  if [ -z "$differ" ] || { [[ $name == h26* || $name == xvid* ]] && [ "$differ" != 0 ]; }; then
    echo "$name: re-encode check: ${check:-no report}"
    fail=1
  fi
  if [[ $name == h26* ]]; then
    cmp -s "$s" "$work/$name.rw" || { echo "$name: the rewrite is not byte for byte the stream"; fail=1; }
  else
    ffmpeg -v error -threads 1 -flags +bitexact -idct simple -i "$work/$name.rw" -fps_mode passthrough \
      -f framemd5 - | awk -F', *' '!/^#/ {print n++, $6}' | cmp -s - "$work/$name.md5" ||
      { echo "$name: ffmpeg decodes the rewrite differently"; fail=1; }
  fi
done

# reversible VLC: the data-partitioned streams rewritten with every block of their coefficient
# partitions in the reversible codes (--rewrite-rvlc: reversible_vlc set, stuffing redone):
# ffmpeg decodes the rewrite to the original's digests, and so does opxvc-m4vdec, also with every
# video packet's partition decoded backward and checked against the forward levels
for name in partitioned partitioned_mq; do
  s=$work/$name.m4v r=$work/$name.rvlc.m4v
  [ -f "$s" ] || continue
  "$dec" --quiet --rewrite-rvlc "$r" "$s" >/dev/null && ! cmp -s "$s" "$r" ||
    { echo "$name: --rewrite-rvlc failed"; fail=1; continue; }
  ffmpeg -v error -threads 1 -flags +bitexact -idct simple -i "$r" -fps_mode passthrough \
    -f framemd5 - | awk -F', *' '!/^#/ {print n++, $6}' | cmp -s - "$work/$name.md5" ||
    { echo "$name: ffmpeg decodes the reversible rewrite differently"; fail=1; }
  with_plugin --rvlc-backward --md5 --idct-plugin "$plugin:simple" "$r" | cmp -s - "$work/$name.md5" ||
    { echo "$name: the reversible rewrite decodes differently (or backward decoding differs)"; fail=1; }
done

# DQUANT under modified quantisation (Annex T): ffmpeg's encoder writes it in the 2-bit form of
# clause 5.3.6, not in the 2/6-bit form of Annex T.2 that its decoder reads (which then reports
# damage). --dquant-compat reads the 2-bit form and --rewrite writes the T.2 form: ffmpeg decodes
# the rewrite to the digests of the original read with --dquant-compat, and opxvc-m4vdec (T.2)
# decodes the rewrite to them too; with adaptive quantisation (INTER4V+Q macroblocks among them)
# and with every version 2 tool the decoder has
dquant=(
  "h263p_dquant|176x144|-b:v 300k -lumi_mask 0.3 -tcplx_mask 0.3 -flags +aic|"
  "h263p_dquant_all|200x120|-b:v 250k -lumi_mask 0.3 -tcplx_mask 0.3 -flags +aic+loop+mv4 -obmc 1 -umv 1 -aiv 1 -ps 300|--obmc-compat"
)
for c in "${dquant[@]}"; do
  IFS='|' read -r name size opts dopts <<<"$c"
  s=$work/$name.m4v r=$work/$name.t2.m4v
  # shellcheck disable=SC2086
  ffmpeg -v error -y -f lavfi -i "testsrc2=size=$size,scroll=h=0.04:v=0.03" -frames:v 24 -threads 1 \
    -c:v h263p $opts -f h263 "$s" || { echo "$name: ffmpeg could not encode"; fail=1; continue; }
  # shellcheck disable=SC2086
  with_plugin $dopts --dquant-compat --rewrite "$r" --md5 --idct-plugin "$plugin:simple" "$s" \
    >"$work/$name.ours.md5" && ! cmp -s "$s" "$r" || { echo "$name: no DQUANT rewritten"; fail=1; continue; }
  ffmpeg -v error -threads 1 -flags +bitexact -idct simple -i "$r" -fps_mode passthrough -f framemd5 - |
    awk -F', *' '!/^#/ {print n++, $6}' | cmp -s - "$work/$name.ours.md5" ||
    { echo "$name: ffmpeg decodes the T.2 rewrite differently"; fail=1; }
  # shellcheck disable=SC2086
  with_plugin $dopts --md5 --idct-plugin "$plugin:simple" "$r" | cmp -s - "$work/$name.ours.md5" ||
    { echo "$name: the T.2 rewrite decodes differently"; fail=1; }
done

# a not-coded VOP (P, vop_coded 0; 5-bit time increments at 25 Hz) inserted before the fifth VOP
# of the q31 stream: no picture for it, the same digests as ffmpeg's
if [ -f "$work/q31.m4v" ]; then
  at=$(od -An -v -tx1 "$work/q31.m4v" | tr -d ' \n' | grep -ob 000001b6 | cut -d: -f1 |
    awk '$1 % 2 == 0 {print $1 / 2}' | sed -n 5p)
  { head -c "$at" "$work/q31.m4v"; printf '\x00\x00\x01\xb6\x51\xcf'; tail -c +$((at + 1)) "$work/q31.m4v"; } >"$work/not_coded.m4v"
  ffmpeg -v error -threads 1 -flags +bitexact -idct simple -i "$work/not_coded.m4v" -fps_mode passthrough \
    -f framemd5 - | awk -F', *' '!/^#/ {print n++, $6}' >"$work/not_coded.md5"
  with_plugin --md5 --idct-plugin "$plugin:simple" "$work/not_coded.m4v" >"$work/not_coded.ours.md5" &&
    cmp -s "$work/not_coded.md5" "$work/not_coded.ours.md5" || { echo "not-coded VOP: digests differ"; fail=1; }
fi

# a change of picture size between two streams put one after the other: each picture output at
# its own size (the last one of the first size used to be written with the second's), the digests
# of the two streams' own decodings
for pair in "basic odd" "h261 h261_cif"; do
  read -r first second <<<"$pair"
  [ -f "$work/$first.m4v" ] && [ -f "$work/$second.m4v" ] || continue
  n=$(wc -l <"$work/$first.md5")
  cat "$work/$first.md5" <(awk -v n="$n" '{print $1 + n, $2}' "$work/$second.md5") >"$work/resized.md5"
  cat "$work/$first.m4v" "$work/$second.m4v" >"$work/resized.m4v"
  with_plugin --md5 --idct-plugin "$plugin:simple" "$work/resized.m4v" >"$work/resized.ours.md5"
  cmp -s "$work/resized.md5" "$work/resized.ours.md5" ||
    { echo "$first then $second: digests differ"; fail=1; }
done

# Annex F as H.263 states it (the right neighbours' decoded vectors): near ffmpeg's pictures
# (51.4 and 41.2 dB worst plane when written, plugin IDCT)
for c in "h263_obmc 128 96 46" "h263_obmc_mv4 176 144 38"; do
  read -r name w h bound <<<"$c"
  [ -f "$work/$name.m4v" ] || continue
  with_plugin --idct-plugin "$plugin:simple" -o "$work/$name.std.yuv" --format raw "$work/$name.m4v" ||
    { echo "$name: decoder failed"; fail=1; continue; }
  r=$("$cmp" frames "$w" "$h" 420 "$work/$name.std.yuv" "$work/$name.ref.yuv" "$bound") || fail=1
  echo "$name without --obmc-compat: $r"
done

# drift of the built-in IDCT over one 250-frame group of VOPs (testsrc2 -q:v 2: 51.7 dB worst
# plane when written)
s=$work/drift.m4v
ffmpeg -v error -y -f lavfi -i testsrc2=size=176x144:rate=25 -frames:v 250 -threads 1 -c:v mpeg4 \
  -bf 0 -q:v 2 -g 250 -f m4v "$s" &&
  ffmpeg -v error -threads 1 -flags +bitexact -idct simple -i "$s" -f rawvideo -y "$work/drift.ref.yuv" &&
  "$dec" -o "$work/drift.yuv" --format raw "$s" || { echo "drift: decoding failed"; fail=1; }
r=$("$cmp" frames 176 144 420 "$work/drift.yuv" "$work/drift.ref.yuv" 48) || fail=1
echo "drift over 250 frames, built-in IDCT: $r"

# --postfilter (no bit-exact peer): against a noisy source the worst plane's PSNR does not fall
# (by more than 0.05 dB; +0.56 and +0.55 dB when written, 176x144 at -q:v 12 and 31)
ffmpeg -v error -y -f lavfi -i testsrc2=size=176x144:rate=25 -vf noise=alls=6:allf=t -frames:v 8 \
  -pix_fmt yuv420p -f rawvideo "$work/noisy.yuv" || { echo "postfilter: no source"; fail=1; }
for q in 12 31; do
  s=$work/noisy_q$q.m4v
  ffmpeg -v error -y -s 176x144 -pix_fmt yuv420p -f rawvideo -i "$work/noisy.yuv" -threads 1 \
    -c:v mpeg4 -q:v $q -f m4v "$s" &&
    "$dec" -o "$work/noisy_q$q.yuv" --format raw "$s" &&
    "$dec" --postfilter -o "$work/noisy_q$q.post.yuv" --format raw "$s" ||
    { echo "postfilter q$q: decoding failed"; fail=1; continue; }
  psnr() { "$cmp" frames 176 144 420 "$1" "$work/noisy.yuv" 0 | sed 's/.*PSNR \([0-9.]*\) dB.*/\1/'; }
  plain=$(psnr "$work/noisy_q$q.yuv") post=$(psnr "$work/noisy_q$q.post.yuv")
  echo "postfilter q$q: worst plane PSNR $plain dB, filtered $post dB"
  awk -v a="$plain" -v b="$post" 'BEGIN { exit !(b >= a - 0.05) }' || { echo "postfilter q$q: PSNR falls"; fail=1; }
done

# refusals: interlaced, H.263 four vectors without advanced prediction or deblocking (ffmpeg
# writes them)
refusals=(
  "interlaced|-bf 0 -flags +ildct"
  "h263_mv4_only|-c:v h263 -flags +mv4"
  "h263p_mv4_only|-c:v h263p -umv 1 -flags +mv4"
)
for c in "${refusals[@]}"; do
  IFS='|' read -r name opts <<<"$c"
  s=$work/refuse_$name.m4v
  # shellcheck disable=SC2086
  fmt=m4v
  [[ $opts == *h263* ]] && fmt=h263
  # shellcheck disable=SC2086
  ffmpeg -v error -y -f lavfi -i testsrc2=size=176x144:rate=25 -frames:v 6 -threads 1 -c:v mpeg4 \
    $opts -f $fmt "$s" || { echo "refusal $name: ffmpeg could not encode"; fail=1; continue; }
  msg=$("$dec" --md5 "$s" 2>&1 >/dev/null)
  rc=$?
  if [ $rc -ne 3 ] || [[ $msg != *"unsupported stream"* ]]; then
    echo "refusal $name: exit $rc, \"$msg\""
    fail=1
  fi
done
# an algorithm the plugin does not know is a usage error
with_plugin --quiet --idct-plugin "$plugin:no_such_idct" "$work/basic.m4v" >/dev/null 2>&1
[ $? -eq 2 ] || { echo "--idct-plugin with an unknown algorithm: not exit 2"; fail=1; }

# damaged streams: cut short or with flipped bits they end in exit 0, 1 or 3, never a crash or hang
# (odd seeds with --postfilter, even ones rewritten; reversible packets also decoded backward)
for name in basic mv4 packets partitioned partitioned.rvlc qpel xvid_gmc_odd h263_gobs h263_obmc_mv4 \
  h263p_mv4 h263p_dquant_all h261; do
  base=$work/$name.m4v
  [ -f "$base" ] || continue
  len=$(wc -c <"$base")
  for seed in 1 2 3 4 5 6 7 8; do
    if [ $((seed % 3)) -eq 0 ]; then
      head -c $((len * seed / 10)) "$base" >"$work/damaged.m4v"
    else
      "$cmp" flip "$seed" "$base" "$work/damaged.m4v" || continue
    fi
    post=(--rewrite "$work/damaged.rw")
    [ $((seed % 2)) -eq 1 ] && post=(--postfilter)
    # (a sanitizer's report must not pass for a damaged stream's exit 1)
    ASAN_OPTIONS="${ASAN_OPTIONS:+$ASAN_OPTIONS:}exitcode=86" \
      timeout 60 "$dec" --quiet --md5 --rvlc-backward "${post[@]}" "$work/damaged.m4v" >/dev/null 2>&1
    rc=$?
    case $rc in 0 | 1 | 3) ;; *) echo "$name damaged (seed $seed): exit $rc"; fail=1 ;; esac
  done
done
[ $fail -eq 0 ] && echo "all streams pass"
exit $fail
