' Output pixel x,y is input pixel x/2,y/2: 11,21 is 5,10 (15,50,240),
' 129,97 is 64,48 (192,240,63).
DevCon   img
RGB      pix
img=LoadImage("double24.bmp")
DspMes(img.Width," x ",img.Height,", ",img.BitCount," bit")
pix=GetPixel(img,0,0)
DspMes("at 0 0: ",pix.Red," ",pix.Green," ",pix.Blue)
pix=GetPixel(img,11,21)
DspMes("at 11 21: ",pix.Red," ",pix.Green," ",pix.Blue)
pix=GetPixel(img,129,97)
DspMes("at 129 97: ",pix.Red," ",pix.Green," ",pix.Blue)
