#!/usr/bin/env bash
# Encodes short y4m sources made with ffmpeg (and a conformance stream's pictures, when present)
# with opxvc-h264enc over several sizes, qps, key intervals and filter settings; the digests of
# the encoder's reconstruction (--md5) must equal those of the stream decoded by ffmpeg (strictly,
# without a message) and by opxvc-h264dec. Then the inputs the encoder refuses, and a truncated
# last frame. Exit status 77 (skipped) when ffmpeg is missing.
#   enc_streams.sh ENCODER DECODER [WORKDIR] [CONFORMANCE_DIR]
set -uo pipefail
enc=$1 dec=$2
work=${3:-$(mktemp -d)}
conf=${4:-}
mkdir -p "$work"
command -v ffmpeg >/dev/null || { echo "ffmpeg missing"; exit 77; }
fail=0 n=0
src() {  # name size lavfi-source frames [filter]
  local f=$work/$1.y4m
  [ -s "$f" ] && return 0
  ffmpeg -v error -f lavfi -i "$3=size=$2:rate=25" ${5:+-vf "$5"} -frames:v "$4" -pix_fmt yuv420p -y "$f"
}
src tsrc64 64x48 testsrc 12
src tsrc2_98 98x74 testsrc2 12
src mandel176 176x144 mandelbrot 12
src noise64 64x48 testsrc2 10 noise=alls=20:allf=t
src noise176 176x144 testsrc 10 noise=alls=20:allf=t
src loud64 64x48 testsrc 6 noise=alls=100:allf=t  # levels past the Baseline bound at qp 0
src tsrc2_352 352x288 testsrc2 10
inputs="tsrc64 tsrc2_98 mandel176 noise64 noise176 loud64 tsrc2_352"
if [ -n "$conf" ] && [ -f "$conf/BA1_FT_C.264" ]; then  # natural pictures
  ffmpeg -v error -i "$conf/BA1_FT_C.264" -frames:v 10 -pix_fmt yuv420p -y "$work/natural.y4m" && inputs="$inputs natural"
fi
# input | qp | keyint | options
cases=(
  "tsrc64|26|1|" "tsrc64|0|10|" "tsrc64|51|10|--no-deblock" "tsrc64|40|10|"
  "tsrc2_98|10|10|" "tsrc2_98|26|1|--no-deblock" "tsrc2_98|51|1|"
  "mandel176|26|10|" "mandel176|40|1|" "mandel176|10|10|--no-deblock"
  "noise64|0|1|" "noise64|10|10|" "noise64|26|10|--no-deblock" "noise64|51|10|"
  "noise176|26|10|" "noise176|0|10|--no-deblock" "loud64|0|1|" "loud64|0|3|"
  "tsrc2_352|26|10|" "tsrc2_352|40|10|--no-deblock"
  "natural|26|10|" "natural|10|10|--no-deblock" "natural|40|1|"
)
for c in "${cases[@]}"; do
  IFS='|' read -r in qp keyint opts <<<"$c"
  case " $inputs " in *" $in "*) ;; *) continue;; esac
  s=$work/$in-$qp-$keyint${opts:+-nd}.264
  # shellcheck disable=SC2086
  mine=$("$enc" -q --qp "$qp" --keyint "$keyint" $opts --md5 -o "$s" "$work/$in.y4m" | awk '{print $2}')
  ff=$(ffmpeg -v error -threads 1 -err_detect explode -xerror -i "$s" -f framemd5 - 2>"$s.err" | grep -v '^#' | awk -F', *' '{print $6}')
  rc=${PIPESTATUS[0]}
  ours=$("$dec" --md5 "$s" | awk '{print $2}')
  n=$((n + 1))
  if [ -n "$mine" ] && [ "$mine" == "$ff" ] && [ "$mine" == "$ours" ] && [ $rc -eq 0 ] && [ ! -s "$s.err" ]; then
    echo "$in qp $qp keyint $keyint $opts: $(echo "$mine" | wc -l) frames, $(stat -c %s "$s") bytes, bit-exact"
  else
    echo "$in qp $qp keyint $keyint $opts: MISMATCH (ffmpeg exit $rc: $(head -c 200 "$s.err"))"
    diff <(echo "$mine") <(echo "$ff") | head -2
    diff <(echo "$mine") <(echo "$ours") | head -2
    fail=1
  fi
done
# inputs outside the encoder's scope: exit status 3 and a message
for r in "yuv422|-pix_fmt yuv422p" "mono|-pix_fmt gray" "high10|-pix_fmt yuv420p10le" \
         "interlaced|-pix_fmt yuv420p -field_order tt" "odd_size|-pix_fmt yuv420p -s 99x75"; do
  IFS='|' read -r name opts <<<"$r"
  # shellcheck disable=SC2086
  ffmpeg -v error -f lavfi -i testsrc=size=64x48:rate=25 -frames:v 2 $opts -strict -1 -y "$work/r_$name.y4m"
  msg=$("$enc" -o "$work/r_$name.264" "$work/r_$name.y4m" 2>&1 >/dev/null)
  rc=$?
  if [ $rc -eq 3 ] && echo "$msg" | grep -q "unsupported input"; then
    echo "refusal $name: $msg"
  else
    echo "refusal $name: NOT REFUSED (exit $rc: $msg)"; fail=1
  fi
done
# a truncated last frame: the whole frames are encoded, then an error
head -c -100 "$work/tsrc64.y4m" >"$work/cut.y4m"
msg=$("$enc" -o "$work/cut.264" "$work/cut.y4m" 2>&1 >/dev/null)
rc=$?
frames=$("$dec" --md5 "$work/cut.264" | wc -l)
if [ $rc -eq 1 ] && [ "$frames" -eq 11 ] && echo "$msg" | grep -q truncated; then
  echo "truncated input: $frames frames written, then: $msg"
else
  echo "truncated input: exit $rc, $frames frames: $msg"; fail=1
fi
echo "$n streams, $([ $fail = 0 ] && echo all bit-exact || echo FAILURES)"
exit $fail
