' Rows copied pixel by pixel until the divisor reaches 0 in the fourth row:
' the run stops on the line of the division, the pixel loop's fourth line.
DevCon a,b
RGB pix
float x,y,d
a=CreateImage(64,8,24)
b=CreateImage(64,8,24)
d=3
For y=0 to 7
   DspMes(y)
   For x=0 to 63
      pix=GetPixel(a,x,y)
      pix.Red=pix.Green
      pix.Blue=x%d
      SetPixel(b,x,y,pix)
   Next x
   d=d-1
Next y
DspMes("not reached")
