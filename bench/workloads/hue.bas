' Hue rotation: every colour turned by 40 of the 240 steps of the hue circle
' (red towards green), brightness and saturation kept.
' Arguments: the 24-bit input, the output.
string   inpFile,outFile
DevCon   Ibmp,Obmp
RGB      pix
HBS      h
float    x,y

inpFile=ClArg[1]
outFile=ClArg[2]

Ibmp=LoadImage(inpFile)
Obmp=CreateImage(Ibmp.Width,Ibmp.Height,24)

For y=0 to Ibmp.Height-1
   For x=0 to Ibmp.Width-1
      pix=GetPixel(Ibmp,x,y)
      h=pix
      h.Hue=(h.Hue+40)%240
      pix=h
      SetPixel(Obmp,x,y,pix)
   Next x
   if(y%10=0)
      DspWhile("Hue",100/Ibmp.Height*y)
   endif
Next y
DspWhile("",0)
SaveImage(Obmp,outFile)
