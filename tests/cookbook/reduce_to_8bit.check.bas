' Entry r*42 + g*6 + b is (51r, 42.5g rounded, 51b). Dithering moves a
' channel to one of the two levels around it, never further: no pixel is
' 51 (red, blue) or 43 (green) or more away from its input.
DevCon   img,inp
RGB      pix,p
float    x,y,far
img=LoadImage("reduced.bmp")
DspMes(img.Width," x ",img.Height,", ",img.BitCount," bit")
pix=GetPalette(img,0)
DspMes("entry 0: ",pix.Red," ",pix.Green," ",pix.Blue)
pix=GetPalette(img,106)
DspMes("entry 106: ",pix.Red," ",pix.Green," ",pix.Blue)
pix=GetPalette(img,251)
DspMes("entry 251: ",pix.Red," ",pix.Green," ",pix.Blue)
pix=GetPixel(img,0,0)
DspMes("at 0 0: ",pix.Red," ",pix.Green," ",pix.Blue)
inp=LoadImage("grad24.bmp")
far=0
For y=0 to inp.Height-1
   For x=0 to inp.Width-1
      pix=GetPixel(img,x,y)
      p=GetPixel(inp,x,y)
      far=far+(ABS(pix.Red-p.Red)>=51)+(ABS(pix.Green-p.Green)>=43)+(ABS(pix.Blue-p.Blue)>=51)
   Next x
Next y
DspMes("channels a level or more away: ",far)
