#!/bin/sh
# Makes the bundled demo media from Debian's encoders (ffmpeg, lame,
# ImageMagick). Run from anywhere; writes next to this script.
# Needs: ffmpeg lame imagemagick.
set -eu

cd "$(dirname "$0")"

# /usr/local/bin may hold a stand-in "convert"; use the real ImageMagick.
CONVERT=/usr/bin/convert
[ -x "$CONVERT" ] || CONVERT=convert

FF="ffmpeg -hide_banner -loglevel error -nostdin -y"
# Strip encoder/creation metadata so reruns give the same bytes.
BITEXACT="-fflags +bitexact -flags:v +bitexact -flags:a +bitexact -map_metadata -1 -map_chapters -1"

tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT

# H.264/AAC MP4: 3 s, 320x240, 15 fps, low rates.
$FF -f lavfi -i "testsrc2=size=320x240:rate=15:duration=3" \
    -f lavfi -i "sine=frequency=440:beep_factor=4:sample_rate=44100:duration=3" \
    -c:v libx264 -profile:v main -preset medium -b:v 200k -pix_fmt yuv420p -threads 1 \
    -c:a aac -b:a 64k -ac 2 \
    $BITEXACT -movflags +faststart sample.mp4

# MP3: LAME, 4 s stereo 128 kbps CBR, ID3v2 tag with title/artist/album.
$FF -f lavfi -i "sine=frequency=330:beep_factor=2:sample_rate=44100:duration=4" \
    -ac 2 $BITEXACT -c:a pcm_s16le "$tmp/tone.wav"
lame --quiet --noreplaygain -b 128 --id3v2-only \
    --tt "Vortaq Sample" --ta "Vortaq" --tl "Samples" --ty 2024 --tn 1 --tg "Electronic" \
    "$tmp/tone.wav" sample.mp3

# Still pictures, from one frame of the test pattern.
$FF -f lavfi -i "testsrc2=size=160x120:rate=1:duration=1" -frames:v 1 $BITEXACT "$tmp/frame.png"
"$CONVERT" "$tmp/frame.png" -strip -quality 85 -density 72 -units PixelsPerInch sample.jpg
"$CONVERT" "$tmp/frame.png" -strip -colors 64 GIF:sample.gif
"$CONVERT" "$tmp/frame.png" -strip -resize 64x48! -type TrueColor BMP3:sample.bmp

ls -l sample.*
