#!/usr/bin/env bash
# Makes the hundred songs the player benchmark reads, in the folder given (Debian's ffmpeg, lame and
# imagemagick): four encodings (CBR at 128 and 320 kbit/s, VBR stereo and mono), each tagged in turn
# with ID3v2.3, ID3v2.4 or ID3v1 alone, and every fourth ID3v2 song with a cover of about 100 KB.
# A file "complete" marks a folder that holds them all.
set -euo pipefail
out=${1:?usage: make-bench-songs.sh FOLDER}
[ -f "$out/complete" ] && exit 0
mkdir -p "$out"
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
ffmpeg_quiet() { ffmpeg -nostdin -v error -y "$@"; }

# Half a minute of a chord with a little noise, so the VBR encoder varies its frames.
ffmpeg_quiet -f lavfi -i "sine=f=440:d=30:r=44100" -f lavfi -i "sine=f=554:d=30:r=44100" \
    -f lavfi -i "anoisesrc=d=30:c=pink:a=0.05:r=44100" -filter_complex amix=inputs=3 -ac 2 "$scratch/song.wav"
lame --quiet --cbr -b 128 "$scratch/song.wav" "$scratch/cbr128.mp3"
lame --quiet --cbr -b 320 "$scratch/song.wav" "$scratch/cbr320.mp3"
lame --quiet -V 2 "$scratch/song.wav" "$scratch/vbr.mp3"
lame --quiet -V 6 -m m "$scratch/song.wav" "$scratch/vbr-mono.mp3"
encodings=(cbr128 cbr320 vbr vbr-mono)

# Noise compresses badly: 340 pixels square make a JPEG of about 100 KB.
convert -size 340x340 xc:gray +noise Random -quality 95 "$scratch/cover.jpg"

for i in $(seq -w 0 99); do
    n=$((10#$i))
    encoding=${encodings[n % 4]}
    song="$out/song-$i.mp3"
    meta=(-metadata title="Song number $n" -metadata artist="Artist $((n % 7))" -metadata album="Album $((n % 5))")
    case $((n % 3)) in
        0) tags=(-id3v2_version 3) ;;
        1) tags=(-id3v2_version 4) ;;
        2) tags=(-id3v2_version 0) ;;
    esac
    if ((n % 3 != 2 && n % 4 == 0)); then
        ffmpeg_quiet -i "$scratch/$encoding.mp3" -i "$scratch/cover.jpg" -map 0 -map 1 -c copy \
            -disposition:v attached_pic "${meta[@]}" "${tags[@]}" "$song"
    else
        ffmpeg_quiet -i "$scratch/$encoding.mp3" -map 0 -c copy "${meta[@]}" "${tags[@]}" "$song"
    fi
    # ffmpeg writes no ID3v1 tag without an ID3v2 one.
    if ((n % 3 == 2)); then
        id3v2 -1 -t "Song number $n" -a "Artist $((n % 7))" -A "Album $((n % 5))" "$song"
    fi
done
touch "$out/complete"
