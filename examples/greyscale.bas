' Greyscale: an 8-bit grey image whose every pixel is the brightness of
' the input's pixel (0.299 red + 0.587 green + 0.114 blue, rounded).
'   tarvil --batch greyscale.bas INPUT.bmp OUTPUT.bmp
' Input: 1, 4, 8 or 24 bit. Output: 8 bit, palette from black to white.

string   inpFile,outFile
DevCon   Ibmp,Obmp
RGB      pix
float    x,y,grey

inpFile=ClArg[1]
outFile=ClArg[2]

Ibmp=LoadImage(inpFile)
' A new 8-bit image already has the grey palette: entry i is (i,i,i).
Obmp=CreateImage(Ibmp.Width,Ibmp.Height,8)

For y=0 to Ibmp.Height-1
   For x=0 to Ibmp.Width-1
      pix=GetPixel(Ibmp,x,y)
      grey=(pix.Red*0.299)+(pix.Green*0.587)+(pix.Blue*0.114)
      SetPixelVal(Obmp,x,y,INT(grey+0.5))
   Next x
   if(y%10=0)
      DspWhile("Greyscale",100/Ibmp.Height*y)
   endif
Next y
DspWhile("",0)
SaveImage(Obmp,outFile)
