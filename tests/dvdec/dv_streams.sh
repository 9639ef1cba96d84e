#!/bin/sh
# opxvc-dvdec against ffmpeg on DV streams made here with ffmpeg's encoder: same frame count, every
# plane of every frame within max |diff| 2 and 50 dB of `ffmpeg -threads 1` (native pixel format),
# for both dequantisation paths; --md5 and --frames; refusals. Exit 77 (skipped) without ffmpeg.
# usage: dv_streams.sh OPXVC-DVDEC COMPARE.PY WORKDIR
set -u
DEC=$1
CMP=$2
WORK=$3
command -v ffmpeg >/dev/null 2>&1 || { echo "ffmpeg not found: skipped"; exit 77; }
command -v python3 >/dev/null 2>&1 || { echo "python3 not found: skipped"; exit 77; }
mkdir -p "$WORK" || exit 1
cd "$WORK" || exit 1
fail=0
bad() { echo "FAIL: $*"; fail=1; }

# name size rate pix_fmt chroma [extra encoder arguments and filter]
make_stream() {
    name=$1 size=$2 rate=$3 pix=$4 filter=$5
    shift 5
    ffmpeg -v error -y -f lavfi -i "testsrc2=size=$size:rate=$rate$filter" -frames:v 3 \
        -pix_fmt "$pix" -c:v dvvideo "$@" -f rawvideo "$name.dv" || return 1
    ffmpeg -v error -y -threads 1 -i "$name.dv" -f rawvideo "$name.ref" 2>/dev/null || return 1
}

check() {  # name width height chroma extra-stats-check
    name=$1 w=$2 h=$3 c=$4
    for dq in weight table; do
        if ! "$DEC" --quiet --dequant=$dq -o "$name.$dq.yuv" "$name.dv"; then
            bad "$name: decoder failed ($dq)"
            continue
        fi
        python3 "$CMP" "$name.$dq.yuv" "$name.ref" "$w" "$h" "$c" 2 50 || bad "$name ($dq)"
    done
}

make_stream p420 720x576 25 yuv420p "" || bad "ffmpeg p420"
check p420 720 576 420
make_stream n411 720x480 30000/1001 yuv411p "" || bad "ffmpeg n411"
check n411 720 480 411
make_stream p411 720x576 25 yuv411p "" || bad "ffmpeg p411"
check p411 720 576 411
make_stream q422 720x576 25 yuv422p "" || bad "ffmpeg q422"
check q422 720 576 422
make_stream m422 720x480 30000/1001 yuv422p "" || bad "ffmpeg m422"
check m422 720 480 422

# Interlaced content coded with 2-4-8 blocks; noise content whose blocks overflow their areas
# (completed only by the redistribution passes, counted by --stats).
make_stream i420 720x576 50 yuv420p ",tinterlace=interleave_top" -flags +ildct -top 1 ||
    bad "ffmpeg i420"
check i420 720 576 420
"$DEC" --quiet --stats i420.dv > i420.stats || bad "i420 --stats"
awk '{ exit !($10 > 0) }' i420.stats || bad "i420: no 2-4-8 block: $(cat i420.stats)"
make_stream i411 720x480 60000/1001 yuv411p ",tinterlace=interleave_top" -flags +ildct -top 1 ||
    bad "ffmpeg i411"
check i411 720 480 411
for s in z420:720x576:25:yuv420p:420 z411:720x480:30000/1001:yuv411p:411; do
    IFS=: read -r name size rate pix c <<EOS
$s
EOS
    make_stream "$name" "$size" "$rate" "$pix" ",noise=alls=20:allf=t+u" || bad "ffmpeg $name"
    check "$name" "${size%x*}" "${size#*x}" "$c"
    "$DEC" --quiet --stats "$name.dv" > "$name.stats" || bad "$name --stats"
    awk '{ exit !($8 > 0) }' "$name.stats" || bad "$name: no block completed by redistribution"
done

# --frames and --md5: two lines, the same as the MD5s of the written frames.
"$DEC" --quiet --md5 --frames 2 p420.dv > md5.txt || bad "--md5 run"
[ "$(wc -l < md5.txt)" -eq 2 ] || bad "--frames 2 printed $(wc -l < md5.txt) lines"
first=$(head -c $((720 * 576 * 3 / 2)) p420.weight.yuv | md5sum | cut -d' ' -f1)
grep -q "^frame 0 $first\$" md5.txt || bad "--md5 of frame 0 differs from the written frame"
# y4m output names 4:1:1
"$DEC" --quiet -o n411.y4m n411.dv && head -c 80 n411.y4m | grep -q "C411" || bad "y4m 4:1:1 header"

# A truncated last frame is reported (exit 1) after the whole frames.
head -c $((144000 * 2 + 5000)) p420.dv > trunc.dv
"$DEC" --quiet --md5 trunc.dv > trunc.txt 2> trunc.err
[ $? -eq 1 ] || bad "truncated: exit code"
grep -q "truncated frame" trunc.err || bad "truncated: no message"
[ "$(wc -l < trunc.txt)" -eq 2 ] || bad "truncated: whole frames not decoded"
# Damaged frames (random byte changes in the video DIF blocks) decode without a crash: exit 0.
python3 - <<'EOP'
import random
random.seed(27)
d = bytearray(open('p420.dv', 'rb').read())
for _ in range(3000):
    i = random.randrange(len(d))
    if (i // 80) % 150 >= 6:
        d[i] = random.randrange(256)
open('flip.dv', 'wb').write(bytes(d))
EOP
"$DEC" --quiet --md5 flip.dv > flip.txt; rc=$?
[ $rc -eq 0 ] && [ "$(wc -l < flip.txt)" -eq 3 ] || bad "damaged frames: exit $rc"
# Not DV: exit 1. DV100: exit 3, "unsupported stream".
head -c 200000 /dev/zero | tr '\0' '\377' > junk.dv
"$DEC" --quiet junk.dv 2>/dev/null; [ $? -eq 1 ] || bad "junk: exit code"
ffmpeg -v error -y -f lavfi -i testsrc2=size=1280x1080:rate=30000/1001 -frames:v 1 \
    -pix_fmt yuv422p -c:v dvvideo -f rawvideo dv100.dv || bad "ffmpeg dv100"
"$DEC" --quiet dv100.dv 2> dv100.err; rc=$?
[ $rc -eq 3 ] || bad "dv100: exit $rc, not 3"
grep -q "unsupported stream" dv100.err || bad "dv100: no 'unsupported stream' message"

[ $fail -eq 0 ] && echo "all DV streams within bounds"
exit $fail
