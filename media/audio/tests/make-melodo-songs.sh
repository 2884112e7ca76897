#!/usr/bin/env bash
# Makes the audio player's test songs in the folder given (Debian's ffmpeg, lame and id3v2): three
# short tagged songs, one with a title too long for the screen, and a file that only looks like a
# song. Lengths lie halfway between whole seconds, so the encoders' padding never moves them.
set -euo pipefail
out=${1:?usage: make-melodo-songs.sh FOLDER}
mkdir -p "$out"
cd "$out"
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT

song() { # name seconds frequency title artist
    ffmpeg -nostdin -v error -y -f lavfi -i "sine=f=$3:d=$2:r=22050" -ac 1 "$scratch/$1.wav"
    lame --quiet --cbr -b 64 "$scratch/$1.wav" "$1.mp3"
    id3v2 -t "$4" -a "$5" "$1.mp3"
}
song one 4.5 440 "First Song" "Alpha"
song two 5.5 550 "Second Song" "Beta"
song three 6.5 660 "Third Song" "Gamma"
song long 4.5 330 "A title far too long to fit beside the icon on the screen" "Delta"
echo "not a song at all, only a few words of text" >damaged.mp3
