' Brightness of input pixel x,y is 0.555x + 2.935y + 29.07: on row 33,
' 127.59 at x 3 and 128.15 at x 4, so the line between black and white
' runs between them.
DevCon   img
RGB      pix
img=LoadImage("bw.bmp")
DspMes(img.Width," x ",img.Height,", ",img.BitCount," bit")
DspMes("at 0 0, 64 48: ",GetPixelVal(img,0,0),GetPixelVal(img,64,48))
DspMes("row 33 at x 0 3 4 10: ",GetPixelVal(img,0,33),GetPixelVal(img,3,33),GetPixelVal(img,4,33),GetPixelVal(img,10,33))
pix=GetPixel(img,4,33)
DspMes("at 4 33: ",pix.Red," ",pix.Green," ",pix.Blue)
