' Sobel edges of a grey image: the length of the gradient, at most 255; the
' one-pixel border stays black.
' Arguments: the 8-bit grey input, the output.
string   inpFile,outFile
DevCon   Ibmp,Obmp
float    x,y,a,b,c,d,f,g,h,k,gx,gy,e

inpFile=ClArg[1]
outFile=ClArg[2]

Ibmp=LoadImage(inpFile)
Obmp=CreateImage(Ibmp.Width,Ibmp.Height,8)

For y=1 to Ibmp.Height-2
   For x=1 to Ibmp.Width-2
      a=GetPixelVal(Ibmp,x-1,y-1)
      b=GetPixelVal(Ibmp,x,y-1)
      c=GetPixelVal(Ibmp,x+1,y-1)
      d=GetPixelVal(Ibmp,x-1,y)
      f=GetPixelVal(Ibmp,x+1,y)
      g=GetPixelVal(Ibmp,x-1,y+1)
      h=GetPixelVal(Ibmp,x,y+1)
      k=GetPixelVal(Ibmp,x+1,y+1)
      gx=(c+(2*f)+k)-(a+(2*d)+g)
      gy=(g+(2*h)+k)-(a+(2*b)+c)
      e=Min(Sqr((gx*gx)+(gy*gy)),255)
      SetPixelVal(Obmp,x,y,e)
   Next x
   if(y%10=0)
      DspWhile("Edges",100/Ibmp.Height*y)
   endif
Next y
DspWhile("",0)
SaveImage(Obmp,outFile)
