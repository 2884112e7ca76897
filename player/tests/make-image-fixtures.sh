#!/usr/bin/env bash
# Writes the pictures the image probe is checked with into OUTDIR, made by ImageMagick and cjpeg,
# and beside them expected.txt: one line a picture, "name format width height depth", the values
# as exiftool reads them, the independent reference the probe must agree with.
set -euo pipefail
out=${1:?usage: make-image-fixtures.sh OUTDIR}
mkdir -p "$out"
cd "$out"
rm -f ./*.jpg ./*.gif ./*.bmp ./*.png expected.txt
for tool in convert cjpeg exiftool; do
    command -v "$tool" >/dev/null || { echo "missing $tool (see setup.sh)" >&2; exit 1; }
done

# A source picture with some detail, odd sides so that width and height cannot be swapped unseen.
convert -size 161x97 gradient:red-blue -swirl 90 source.ppm
convert -size 161x97 gradient: source-grey.pgm

cjpeg -quality 80 -outfile baseline.jpg source.ppm
cjpeg -progressive -outfile progressive.jpg source.ppm
cjpeg -grayscale -outfile grey.jpg source.ppm
cjpeg -outfile grey-source.jpg source-grey.pgm
# Exif and a comment after the JFIF segment.
exiftool -q -Make=Kivo -Comment=fixture -o exif-jfif.jpg baseline.jpg
convert source.ppm -colorspace CMYK cmyk.jpg

convert source.ppm GIF87:gif87a.gif
convert source.ppm -colors 8 GIF:gif89a.gif

convert source.ppm -monochrome BMP3:bmp1.bmp
convert source.ppm -colors 16 -type Palette BMP3:bmp4.bmp
convert source.ppm -colors 200 -type Palette BMP3:bmp8.bmp
convert source.ppm -define bmp:subtype=RGB565 BMP:bmp16.bmp
convert source.ppm BMP3:bmp24.bmp
convert source.ppm -alpha set -channel A -evaluate set 50% BMP:bmp32.bmp

convert source.ppm -monochrome PNG:png1.png
convert source.ppm PNG24:png8.png
convert source.ppm -depth 16 PNG48:png16.png

rm -f source.ppm source-grey.pgm
: >expected.txt
for picture in *.jpg *.gif *.bmp *.png; do
    case $picture in
    *.jpg)
        read -r width height bits components < <(exiftool -n -s3 -q -File:ImageWidth -File:ImageHeight \
            -File:BitsPerSample -File:ColorComponents "$picture" | paste -sd' ')
        format=JPG depth=$((bits * components)) ;;
    *.gif)
        read -r width height depth < <(exiftool -n -s3 -q -GIF:ImageWidth -GIF:ImageHeight \
            -GIF:ColorResolutionDepth "$picture" | paste -sd' ')
        format=GIF ;;
    *.bmp)
        read -r width height depth < <(exiftool -n -s3 -q -File:ImageWidth -File:ImageHeight \
            -File:BitDepth "$picture" | paste -sd' ')
        format=BMP ;;
    *.png)
        read -r width height depth < <(exiftool -n -s3 -q -PNG:ImageWidth -PNG:ImageHeight \
            -PNG:BitDepth "$picture" | paste -sd' ')
        format=PNG ;;
    esac
    echo "$picture $format $width $height $depth" >>expected.txt
done
