#!/bin/sh
# Map images for the map window's tests, drawn with ImageMagick into folder $1:
#   test_map.{png,jpg,gif,bmp}  400 x 300: fields, a river, a road, and a black block (which
#                               the window shows transparent)
#   city_map.png                640 x 480: a small town for the documentation's picture
#   broken.png                  text, no image
set -e
out=$1
mkdir -p "$out"
convert -size 400x300 xc:'#e4eed8' \
  -fill '#a8c8e8' -draw 'polygon 0,200 150,150 400,180 400,230 150,200 0,250' \
  -stroke '#b0a080' -strokewidth 6 -draw 'line 0,60 400,100' -stroke none \
  -fill black -draw 'rectangle 300,240 339,279' "$out/test_map.png"
convert "$out/test_map.png" -quality 95 "$out/test_map.jpg"
convert "$out/test_map.png" "$out/test_map.gif"
convert "$out/test_map.png" BMP3:"$out/test_map.bmp"
convert -size 640x480 xc:'#eef0e2' \
  -fill '#cfe5b8' -draw 'rectangle 20,20 200,150' -draw 'ellipse 520,380 90,60 0,360' \
  -fill '#9cc3e6' -draw 'polygon 0,300 180,260 330,300 640,250 640,300 330,345 180,305 0,345' \
  -fill '#e0d6c8' -draw 'rectangle 240,40 330,120' -draw 'rectangle 360,40 450,120' \
  -draw 'rectangle 240,150 330,230' -draw 'rectangle 360,150 450,230' -draw 'rectangle 60,380 200,450' \
  -stroke '#ffffff' -strokewidth 8 -draw 'line 0,135 640,135' -draw 'line 345,0 345,480' \
  -draw 'line 220,0 220,480' -draw 'line 0,365 640,365' -stroke none \
  "$out/city_map.png"
printf 'not an image\n' > "$out/broken.png"
