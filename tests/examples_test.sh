#!/usr/bin/env bash
# The README's example: make the sample images, check that each shows what the
# example's comments promise, copy each with the template script, and check
# that every copy equals its input byte for byte.
set -eu
tarvil=$1
work=$2
examples=$3
rm -rf "$work" && mkdir -p "$work" && cd "$work"
"$tarvil" --batch "$examples/make_sample_images.bas" > /dev/null

# Pixels read back from the files. The expected values follow from the
# comments: 24 bit, red x*255/159 and green y*255/119 with blue 128; 8 bit,
# index (x+y) mod 256 in a table from blue (0,0,255) to yellow; 4 bit, index
# x div 10 of the grey ramp (17 a step); 1 bit, white where
# (x-80)^2+(y-60)^2 < 2500 (a disc of 7825 pixels, from x 31 to 129 across
# its middle row and from y 11 to 109 down its middle column), black elsewhere.
cat > read_samples.bas << 'EOF'
DevCon   img
RGB      pix
float    x,y,n

img=LoadImage("sample24.bmp")
DspMes("sample24 ",img.Width," ",img.Height," ",img.BitCount)
pix=GetPixel(img,0,0)
DspMes("at 0 0: ",pix.Red," ",pix.Green," ",pix.Blue)
pix=GetPixel(img,53,7)
DspMes("at 53 7: ",pix.Red," ",pix.Green," ",pix.Blue)
pix=GetPixel(img,106,56)
DspMes("at 106 56: ",pix.Red," ",pix.Green," ",pix.Blue)
pix=GetPixel(img,159,119)
DspMes("at 159 119: ",pix.Red," ",pix.Green," ",pix.Blue)

img=LoadImage("sample8.bmp")
DspMes("sample8 ",img.Width," ",img.Height," ",img.BitCount)
DspMes("indices at 10 20, 159 119: ",GetPixelVal(img,10,20)," ",GetPixelVal(img,159,119))
pix=GetPixel(img,10,20)
DspMes("at 10 20: ",pix.Red," ",pix.Green," ",pix.Blue)
pix=GetPalette(img,0)
DspMes("entry 0: ",pix.Red," ",pix.Green," ",pix.Blue)
pix=GetPalette(img,255)
DspMes("entry 255: ",pix.Red," ",pix.Green," ",pix.Blue)

img=LoadImage("sample4.bmp")
DspMes("sample4 ",img.Width," ",img.Height," ",img.BitCount)
DspMes("indices at x 0 9 10 25 159: ",GetPixelVal(img,0,5)," ",GetPixelVal(img,9,5)," ",GetPixelVal(img,10,60)," ",GetPixelVal(img,25,5)," ",GetPixelVal(img,159,119))
pix=GetPixel(img,25,5)
DspMes("at 25 5: ",pix.Red," ",pix.Green," ",pix.Blue)

img=LoadImage("sample1.bmp")
DspMes("sample1 ",img.Width," ",img.Height," ",img.BitCount)
pix=GetPixel(img,80,60)
DspMes("centre: ",pix.Red," ",pix.Green," ",pix.Blue)
pix=GetPixel(img,0,0)
DspMes("top left: ",pix.Red," ",pix.Green," ",pix.Blue)
DspMes("corners: ",GetPixelVal(img,0,0),GetPixelVal(img,159,0),GetPixelVal(img,0,119),GetPixelVal(img,159,119))
DspMes("row 60 at x 30 31 129 130: ",GetPixelVal(img,30,60),GetPixelVal(img,31,60),GetPixelVal(img,129,60),GetPixelVal(img,130,60))
DspMes("column 80 at y 10 11 109 110: ",GetPixelVal(img,80,10),GetPixelVal(img,80,11),GetPixelVal(img,80,109),GetPixelVal(img,80,110))
n=0
For y=0 to 119
   For x=0 to 159
      n=n+GetPixelVal(img,x,y)
   Next x
Next y
DspMes("white pixels: ",n)
EOF
"$tarvil" --batch read_samples.bas > samples_read.txt
cat > samples_expected.txt << 'EOF'
sample24 160 120 24
at 0 0: 0 0 128
at 53 7: 85 15 128
at 106 56: 170 120 128
at 159 119: 255 255 128
sample8 160 120 8
indices at 10 20, 159 119: 30 22
at 10 20: 30 30 225
entry 0: 0 0 255
entry 255: 255 255 0
sample4 160 120 4
indices at x 0 9 10 25 159: 0 0 1 2 15
at 25 5: 34 34 34
sample1 160 120 1
centre: 255 255 255
top left: 0 0 0
corners: 0000
row 60 at x 30 31 129 130: 0110
column 80 at y 10 11 109 110: 0110
white pixels: 7825
EOF
diff -u samples_expected.txt samples_read.txt
echo "examples: the samples show what their comments say"

for depth in 1 4 8 24; do
    "$tarvil" --batch "$examples/copy_image.bas" "sample$depth.bmp" "copy$depth.bmp" > /dev/null
    cmp "sample$depth.bmp" "copy$depth.bmp"
done
echo "examples: copies equal their inputs"
