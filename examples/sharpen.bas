' Sharpen: every pixel is pushed away from the average of its four
' neighbours (5 x the pixel - the pixels left, right, above and below),
' which makes edges crisper. Results are kept between 0 and 255; the edge
' pixels use their nearest neighbour inside the picture.
'   tarvil --batch sharpen.bas INPUT.bmp OUTPUT.bmp
' Input: 1, 4, 8 or 24 bit. Output: 24 bit.

string   inpFile,outFile
DevCon   Ibmp,Obmp
RGB      c,l,r,u,d,pix
float    x,y,right,bottom

inpFile=ClArg[1]
outFile=ClArg[2]

Ibmp=LoadImage(inpFile)
Obmp=CreateImage(Ibmp.Width,Ibmp.Height,24)
right=Ibmp.Width-1
bottom=Ibmp.Height-1

For y=0 to bottom
   For x=0 to right
      c=GetPixel(Ibmp,x,y)
      l=GetPixel(Ibmp,MAX(x-1,0),y)
      r=GetPixel(Ibmp,MIN(x+1,right),y)
      u=GetPixel(Ibmp,x,MAX(y-1,0))
      d=GetPixel(Ibmp,x,MIN(y+1,bottom))
      ' A colour member keeps only the lowest 8 bits: clamp first.
      pix.Red  =MIN(MAX((c.Red*5)-l.Red-r.Red-u.Red-d.Red,0),255)
      pix.Green=MIN(MAX((c.Green*5)-l.Green-r.Green-u.Green-d.Green,0),255)
      pix.Blue =MIN(MAX((c.Blue*5)-l.Blue-r.Blue-u.Blue-d.Blue,0),255)
      SetPixel(Obmp,x,y,pix)
   Next x
   if(y%10=0)
      DspWhile("Sharpen",100/Ibmp.Height*y)
   endif
Next y
DspWhile("",0)
SaveImage(Obmp,outFile)
