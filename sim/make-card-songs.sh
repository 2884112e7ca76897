#!/usr/bin/env bash
# Makes the songs a fresh simulated device finds on its memory card, in FOLDER/Music (FOLDER
# stands for the card's root), from tones, with Debian's ffmpeg, lame and id3v2 (see setup.sh).
# Each song is another kind of file the audio player meets on a card: ID3v2.3 with Chinese text,
# ID3v2.4, ID3v1 alone, no tag at all, variable bit rate, and WMA in ASF.
set -euo pipefail
card=${1:?usage: make-card-songs.sh FOLDER}
for tool in ffmpeg lame id3v2; do
    command -v "$tool" >/dev/null || { echo "missing $tool (see setup.sh)" >&2; exit 1; }
done
music=$card/Music
mkdir -p "$music"
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT

ffmpeg_quiet() { ffmpeg -nostdin -v error -y "$@"; }

# A tune of bell-like notes, one every half second, rising through eight steps above BASE Hz, so
# that a seek or a pause is heard at once. tone NAME BASE SECONDS
tone() {
    ffmpeg_quiet -f lavfi \
        -i "aevalsrc=0.4*sin(2*PI*$2*(1+0.125*mod(floor(2*t)\,8))*t)*exp(-4*mod(t\,0.5)):s=44100:d=$3" \
        -ac 2 "$scratch/$1.wav"
}
tone chinese 262 24.5
tone v24 294 31.5
tone v1 330 27.5
tone untagged 349 22.5
tone vbr 392 35.5
tone wma 440 38.5

# Each song is made beside its place and moved there whole, so a stopped build leaves none half
# written.
put() { mv "$scratch/$1" "$music/$1"; }

# ID3v2.3 keeps the Chinese title and artist as UTF-16 with a byte-order mark.
ffmpeg_quiet -i "$scratch/chinese.wav" -c:a libmp3lame -b:a 128k -id3v2_version 3 \
    -metadata title="月光小夜曲" -metadata artist="林小雨" -metadata album="夜曲集" -metadata track=1 \
    "$scratch/tone-id3v23-chinese.mp3"
put tone-id3v23-chinese.mp3
ffmpeg_quiet -i "$scratch/v24.wav" -c:a libmp3lame -b:a 128k -id3v2_version 4 \
    -metadata title="Evening Bells" -metadata artist="Kivo Tone Band" -metadata album="Test Tones" \
    -metadata track=2 "$scratch/tone-id3v24.mp3"
put tone-id3v24.mp3
# ID3v1 alone: lame writes no tag of its own, id3v2 -1 adds the 128 bytes at the end.
lame --quiet --cbr -b 128 "$scratch/v1.wav" "$scratch/tone-id3v1.mp3"
id3v2 -1 -t "Old Radio" -a "Tone Trio" -A "Test Tones" -g 12 "$scratch/tone-id3v1.mp3"
put tone-id3v1.mp3
lame --quiet --cbr -b 128 "$scratch/untagged.wav" "$scratch/tone-untagged.mp3"
put tone-untagged.mp3
lame --quiet -V 4 --id3v2-only --tt "Variable Rate" --ta "Kivo Tone Band" "$scratch/vbr.wav" "$scratch/tone-vbr.mp3"
put tone-vbr.mp3
ffmpeg_quiet -i "$scratch/wma.wav" -c:a wmav2 -b:a 128k -f asf \
    -metadata title="Windows Tone" -metadata artist="ASF Ensemble" "$scratch/tone-wma2.wma"
put tone-wma2.wma
