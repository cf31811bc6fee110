' Brightness and contrast: components spread around the middle grey by a
' factor, raised by a step, and kept between 0 and 255.
' Arguments: the 24-bit input, the output.
string   inpFile,outFile
DevCon   Ibmp,Obmp
RGB      pix
float    x,y,v,contrast,bright

inpFile=ClArg[1]
outFile=ClArg[2]
contrast=1.25
bright=20

Ibmp=LoadImage(inpFile)
Obmp=CreateImage(Ibmp.Width,Ibmp.Height,24)

For y=0 to Ibmp.Height-1
   For x=0 to Ibmp.Width-1
      pix=GetPixel(Ibmp,x,y)
      v=((pix.Red-128)*contrast)+128+bright
      pix.Red=Min(Max(v,0),255)
      v=((pix.Green-128)*contrast)+128+bright
      pix.Green=Min(Max(v,0),255)
      v=((pix.Blue-128)*contrast)+128+bright
      pix.Blue=Min(Max(v,0),255)
      SetPixel(Obmp,x,y,pix)
   Next x
   if(y%10=0)
      DspWhile("Brightness and contrast",100/Ibmp.Height*y)
   endif
Next y
DspWhile("",0)
SaveImage(Obmp,outFile)
