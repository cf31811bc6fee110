' The 21 x 11 logo goes to 22,19 in the 65 x 49 background (red 3x, green
' 5y, blue 255-3x); its magenta (the corner's colour) is left out, its
' 11 x 5 block of (10,20,30) from 5,3 lands at 27..37, 22..26.
DevCon   img
RGB      pix
float    x,y,n
img=LoadImage("logo_on_grad.bmp")
DspMes(img.Width," x ",img.Height,", ",img.BitCount," bit")
pix=GetPixel(img,22,19)
DspMes("at 22 19: ",pix.Red," ",pix.Green," ",pix.Blue)
pix=GetPixel(img,26,22)
DspMes("at 26 22: ",pix.Red," ",pix.Green," ",pix.Blue)
pix=GetPixel(img,27,22)
DspMes("at 27 22: ",pix.Red," ",pix.Green," ",pix.Blue)
pix=GetPixel(img,37,26)
DspMes("at 37 26: ",pix.Red," ",pix.Green," ",pix.Blue)
pix=GetPixel(img,38,22)
DspMes("at 38 22: ",pix.Red," ",pix.Green," ",pix.Blue)
n=0
For y=0 to img.Height-1
   For x=0 to img.Width-1
      pix=GetPixel(img,x,y)
      n=n+(pix.Red=10)
   Next x
Next y
DspMes("logo pixels: ",n)
