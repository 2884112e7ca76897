#!/usr/bin/env bash
# Makes the MPEG audio test media in the folder given (Debian's ffmpeg, lame and id3v2) and, beside
# each file, what independent tools read from it: NAME.ref holds lines "tool.field=value" from
# ffprobe, mediainfo and exiftool, which the tests compare with the probe's record.
set -euo pipefail
out=${1:?usage: make-mpeg-audio-media.sh FOLDER}
mkdir -p "$out"
cd "$out"
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT

# Lengths lie halfway between whole seconds, so the encoders' padding never moves the whole seconds.
ffmpeg_quiet() { ffmpeg -nostdin -v error -y "$@"; }
ffmpeg_quiet -f lavfi -i "sine=f=440:d=3.5:r=44100" -ac 2 "$scratch/stereo.wav"
ffmpeg_quiet -f lavfi -i "sine=f=330:d=4.5:r=22050" -ac 1 "$scratch/mono22.wav"

ffmpeg_quiet -i "$scratch/stereo.wav" -c:a libmp3lame -b:a 128k cbr128.mp3
lame --quiet --cbr -b 320 "$scratch/stereo.wav" cbr320.mp3
lame --quiet --cbr -b 64 -m m "$scratch/mono22.wav" mono22.mp3
lame --quiet -V 4 "$scratch/stereo.wav" vbr.mp3
ffmpeg_quiet -i "$scratch/stereo.wav" -c:a mp2 -b:a 192k -f mp2 layer2.mp2
ffmpeg_quiet -i "$scratch/stereo.wav" -c:a aac -b:a 128k -f adts adts.aac

# Tags: ID3v2.3 keeps text that Latin-1 cannot hold as UTF-16 with a byte-order mark.
ffmpeg_quiet -i "$scratch/stereo.wav" -c:a libmp3lame -b:a 128k -id3v2_version 3 \
    -metadata title="Grüße aus 東京" -metadata artist="Ærø Ensemble" -metadata album="Ünïcode" \
    -metadata track=7 tags-v23-utf16.mp3
# ID3v2.4: a frame of more than 127 bytes (its size differs between syncsafe and plain) comes
# before the title.
long_text=$(printf 'long description %.0s' $(seq 20))
ffmpeg_quiet -i "$scratch/stereo.wav" -c:a libmp3lame -b:a 128k -id3v2_version 4 \
    -metadata description="$long_text" -metadata title="After the long frame" -metadata artist="Четыре" \
    tags-v24-large.mp3
# ID3v1 alone, genre 17 ("Rock").
lame --quiet --cbr -b 128 "$scratch/stereo.wav" tags-v1.mp3
id3v2 -1 -t "Only version one" -a "Old Artist" -A "Old Album" -g 17 tags-v1.mp3
# ID3v2.3 with a numbered genre "(13)" and an ID3v1 tag beside it.
lame --quiet --cbr -b 128 "$scratch/stereo.wav" tags-genre.mp3
id3v2 -t "Numbered genre" -a "Some Artist" -g 13 tags-genre.mp3

for media in *.mp3 *.mp2 *.aac; do
    {
        ffprobe -v error -select_streams a:0 -show_entries stream=sample_rate,channels,bit_rate \
            -of default=nw=1 "$media" | sed 's/^/ffprobe./'
        ffprobe -v error -show_entries format=duration,bit_rate -of default=nw=1 "$media" | sed 's/^/ffprobe.format_/'
        mediainfo --Inform="Audio;mediainfo.sample_rate=%SamplingRate%\nmediainfo.channels=%Channel(s)%\nmediainfo.bit_rate=%BitRate%\nmediainfo.duration_ms=%Duration%\n" "$media"
        # exiftool names MP3 files only by their extension; the others carry no tags.
        if [[ $media == *.mp3 ]]; then
            for field in Title Artist Album Track Genre; do
                value=$(exiftool -s3 -ID3:"$field" "$media")
                [ -z "$value" ] || echo "exiftool.$field=$value"
            done
        fi
    } >"$media.ref"
done
