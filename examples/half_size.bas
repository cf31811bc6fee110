' Half size: every output pixel is the average of a 2 x 2 block of input
' pixels, so the picture shrinks smoothly. An odd last row or column is
' left out.
'   tarvil --batch half_size.bas INPUT.bmp OUTPUT.bmp
' Input: 1, 4, 8 or 24 bit, at least 2 x 2. Output: 24 bit.

string   inpFile,outFile
DevCon   Ibmp,Obmp
RGB      a,b,c,d,pix
float    x,y

inpFile=ClArg[1]
outFile=ClArg[2]

Ibmp=LoadImage(inpFile)
Obmp=CreateImage(INT(Ibmp.Width/2),INT(Ibmp.Height/2),24)

For y=0 to Obmp.Height-1
   For x=0 to Obmp.Width-1
      a=GetPixel(Ibmp,x*2,y*2)
      b=GetPixel(Ibmp,(x*2)+1,y*2)
      c=GetPixel(Ibmp,x*2,(y*2)+1)
      d=GetPixel(Ibmp,(x*2)+1,(y*2)+1)
      ' Adding 2 before dividing by 4 rounds to the nearest whole value.
      pix.Red  =(a.Red+b.Red+c.Red+d.Red+2)/4
      pix.Green=(a.Green+b.Green+c.Green+d.Green+2)/4
      pix.Blue =(a.Blue+b.Blue+c.Blue+d.Blue+2)/4
      SetPixel(Obmp,x,y,pix)
   Next x
   if(y%10=0)
      DspWhile("Half size",100/Obmp.Height*y)
   endif
Next y
DspWhile("",0)
SaveImage(Obmp,outFile)
