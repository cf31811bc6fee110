' Threshold: a black and white (1-bit) image, white where the average of
' red, green and blue is above 127.
' Arguments: the 24-bit input, the output.
string   inpFile,outFile
DevCon   Ibmp,Obmp
RGB      pix,white,black
float    x,y

inpFile=ClArg[1]
outFile=ClArg[2]
white.Red=255
white.Green=255
white.Blue=255

Ibmp=LoadImage(inpFile)
Obmp=CreateImage(Ibmp.Width,Ibmp.Height,1)

For y=0 to Ibmp.Height-1
   For x=0 to Ibmp.Width-1
      pix=GetPixel(Ibmp,x,y)
      if(pix.Lum>127)
         SetPixel(Obmp,x,y,white)
      else
         SetPixel(Obmp,x,y,black)
      endif
   Next x
   if(y%10=0)
      DspWhile("Threshold",100/Ibmp.Height*y)
   endif
Next y
DspWhile("",0)
SaveImage(Obmp,outFile)
