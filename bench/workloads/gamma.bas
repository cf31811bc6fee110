' Gamma correction: every component c becomes 255 * (c/255)^(1/2.2).
' Arguments: the 24-bit input, the output.
string   inpFile,outFile
DevCon   Ibmp,Obmp
RGB      pix
float    x,y,g

inpFile=ClArg[1]
outFile=ClArg[2]
g=1/2.2

Ibmp=LoadImage(inpFile)
Obmp=CreateImage(Ibmp.Width,Ibmp.Height,24)

For y=0 to Ibmp.Height-1
   For x=0 to Ibmp.Width-1
      pix=GetPixel(Ibmp,x,y)
      pix.Red=Pow(pix.Red/255,g)*255
      pix.Green=Pow(pix.Green/255,g)*255
      pix.Blue=Pow(pix.Blue/255,g)*255
      SetPixel(Obmp,x,y,pix)
   Next x
   if(y%10=0)
      DspWhile("Gamma",100/Ibmp.Height*y)
   endif
Next y
DspWhile("",0)
SaveImage(Obmp,outFile)
