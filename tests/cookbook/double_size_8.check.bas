' Indices come from input pixel x/2,y/2 (index (x+y) mod 256) and the
' palette is the input's: entry i is (i, 255-i, 7i mod 256).
DevCon   img
RGB      pix
img=LoadImage("double8.bmp")
DspMes(img.Width," x ",img.Height,", ",img.BitCount," bit")
DspMes("indices at 21 40, 79 59: ",GetPixelVal(img,21,40)," ",GetPixelVal(img,79,59))
pix=GetPalette(img,200)
DspMes("entry 200: ",pix.Red," ",pix.Green," ",pix.Blue)
pix=GetPixel(img,79,59)
DspMes("at 79 59: ",pix.Red," ",pix.Green," ",pix.Blue)
