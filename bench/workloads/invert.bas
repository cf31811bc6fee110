' Negative: every component becomes 255 minus itself, with progress on every row.
' Arguments: the 24-bit input, the output.
string   inpFile,outFile
DevCon   Ibmp,Obmp
RGB      pix
float    x,y

inpFile=ClArg[1]
outFile=ClArg[2]

Ibmp=LoadImage(inpFile)
Obmp=CreateImage(Ibmp.Width,Ibmp.Height,24)

For y=0 to Ibmp.Height-1
   For x=0 to Ibmp.Width-1
      pix=GetPixel(Ibmp,x,y)
      pix.Red=255-pix.Red
      pix.Green=255-pix.Green
      pix.Blue=255-pix.Blue
      SetPixel(Obmp,x,y,pix)
   Next x
   DspWhile("Inverting",100/Ibmp.Height*y)
Next y
DspWhile("",0)
SaveImage(Obmp,outFile)
