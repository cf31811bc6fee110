' Mirror: the image flipped left to right.
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
      SetPixel(Obmp,Ibmp.Width-1-x,y,pix)
   Next x
   if(y%10=0)
      DspWhile("Mirror",100/Ibmp.Height*y)
   endif
Next y
DspWhile("",0)
SaveImage(Obmp,outFile)
