
' Effect xxxxx.
' Filter struct base...
' .....................

' Input:   1-4-8-24 bit
' Output:  1-4-8-24 bit

' Author:  __________  date: ..-..-..     rev: 1.0


string   inpFile,outFile
DevCon   Ibmp,Obmp
RGB      pix
float    x,y

inpFile=ClArg[1]
outFile=ClArg[2]

Ibmp=LoadImage(inpFile)
Obmp=CreateImage(Ibmp.Width,Ibmp.Height,Ibmp.BitCount)

if((Ibmp.BitCount=8) |(Ibmp.BitCount=4)) ' if 4 or 8 bit copy palette
  For y=0 to 255
     pix=GetPalette(Ibmp,y)
     SetPalette(Obmp,y,pix)
  Next y
Endif

For y=0 to Ibmp.Height-1
   For x=0 to Ibmp.Width-1
      pix=GetPixel(Ibmp,x,y)
      pix.Red  =pix.Red
      pix.Green=pix.Green
      pix.Blue =pix.Blue
      SetPixel(Obmp,x,y,pix)
   Next x
   if(y%10=0)
      DspWhile("Converting",100/Ibmp.Height*y)
      Preview(Obmp,"Output",5,5)
   endif
Next y
DspWhile("",0)
SaveImage(Obmp,outFile)
Exit

