' Threshold: a black and white (1-bit) image, white where the pixel's
' brightness (0.299 red + 0.587 green + 0.114 blue) is at least `level`,
' black elsewhere. Change `level` below to move the line.
'   tarvil --batch threshold.bas INPUT.bmp OUTPUT.bmp
' Input: 1, 4, 8 or 24 bit. Output: 1 bit.

string   inpFile,outFile
DevCon   Ibmp,Obmp
RGB      pix
float    x,y,level

inpFile=ClArg[1]
outFile=ClArg[2]
level=128

Ibmp=LoadImage(inpFile)
Obmp=CreateImage(Ibmp.Width,Ibmp.Height,1)

For y=0 to Ibmp.Height-1
   For x=0 to Ibmp.Width-1
      pix=GetPixel(Ibmp,x,y)
      ' A comparison gives 1 or 0: the pixel's value in a 1-bit image.
      SetPixelVal(Obmp,x,y,(pix.Red*0.299)+(pix.Green*0.587)+(pix.Blue*0.114)>=level)
   Next x
   if(y%10=0)
      DspWhile("Threshold",100/Ibmp.Height*y)
   endif
Next y
DspWhile("",0)
SaveImage(Obmp,outFile)
