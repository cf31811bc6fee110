' Greyscale: every pixel becomes the average of its red, green and blue.
' Arguments: the 24-bit input, the output.
string   inpFile,outFile
DevCon   Ibmp,Obmp
RGB      pix
float    x,y,grey

inpFile=ClArg[1]
outFile=ClArg[2]

Ibmp=LoadImage(inpFile)
Obmp=CreateImage(Ibmp.Width,Ibmp.Height,24)

For y=0 to Ibmp.Height-1
   For x=0 to Ibmp.Width-1
      pix=GetPixel(Ibmp,x,y)
      grey=(pix.Red+pix.Green+pix.Blue)/3
      pix.Lum=grey
      SetPixel(Obmp,x,y,pix)
   Next x
   if(y%10=0)
      DspWhile("Greyscale",100/Ibmp.Height*y)
   endif
Next y
DspWhile("",0)
SaveImage(Obmp,outFile)
