' Grey is 0.299 red + 0.587 green + 0.114 blue, rounded: at 0,0 (0,0,255)
' gives 29.07, at 10,20 (30,100,225) 93.32, at 64,48 (192,240,63) 205.47.
DevCon   img
RGB      pix
img=LoadImage("grey.bmp")
DspMes(img.Width," x ",img.Height,", ",img.BitCount," bit")
DspMes("at 0 0, 10 20, 64 48: ",GetPixelVal(img,0,0)," ",GetPixelVal(img,10,20)," ",GetPixelVal(img,64,48))
pix=GetPalette(img,93)
DspMes("entry 93: ",pix.Red," ",pix.Green," ",pix.Blue)
