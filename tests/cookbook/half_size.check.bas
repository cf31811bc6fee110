' Each output pixel averages input columns 2x, 2x+1 and rows 2y, 2y+1:
' red (6x + 6x+3 twice, +2)/4 = 6x+2, green 10y+3, blue 254-6x (the
' averages ending in .5 round up). 65 x 49 halves to 32 x 24.
DevCon   img
RGB      pix
img=LoadImage("half.bmp")
DspMes(img.Width," x ",img.Height,", ",img.BitCount," bit")
pix=GetPixel(img,0,0)
DspMes("at 0 0: ",pix.Red," ",pix.Green," ",pix.Blue)
pix=GetPixel(img,5,7)
DspMes("at 5 7: ",pix.Red," ",pix.Green," ",pix.Blue)
pix=GetPixel(img,31,23)
DspMes("at 31 23: ",pix.Red," ",pix.Green," ",pix.Blue)
