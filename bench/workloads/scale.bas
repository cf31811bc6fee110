' Enlargement by 2, nearest neighbour: every output pixel takes the input
' pixel at half its coordinates.
' Arguments: the 24-bit input, the output (twice as wide and high).
string   inpFile,outFile
DevCon   Ibmp,Obmp
RGB      pix
float    x,y

inpFile=ClArg[1]
outFile=ClArg[2]

Ibmp=LoadImage(inpFile)
Obmp=CreateImage(Ibmp.Width*2,Ibmp.Height*2,24)

For y=0 to Obmp.Height-1
   For x=0 to Obmp.Width-1
      pix=GetPixel(Ibmp,x/2,y/2)
      SetPixel(Obmp,x,y,pix)
   Next x
   if(y%10=0)
      DspWhile("Scaling",100/Obmp.Height*y)
   endif
Next y
DspWhile("",0)
SaveImage(Obmp,outFile)
