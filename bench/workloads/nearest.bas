' Colour reduction: a 24-bit image drawn into an 8-bit one whose colour table
' is a 6 x 6 x 6 colour cube and 40 greys; SETPIXEL picks the nearest entry.
' Arguments: the 24-bit input, the output.
string   inpFile,outFile
DevCon   Ibmp,Obmp
RGB      pix
float    x,y,r,g,b,i,n

inpFile=ClArg[1]
outFile=ClArg[2]

Ibmp=LoadImage(inpFile)
Obmp=CreateImage(Ibmp.Width,Ibmp.Height,8)

n=0
For r=0 to 5
   For g=0 to 5
      For b=0 to 5
         pix.Red=r*51
         pix.Green=g*51
         pix.Blue=b*51
         SetPalette(Obmp,n,pix)
         n=n+1
      Next b
   Next g
Next r
For i=0 to 39
   pix.Lum=(i*6)+5
   SetPalette(Obmp,216+i,pix)
Next i

For y=0 to Ibmp.Height-1
   For x=0 to Ibmp.Width-1
      pix=GetPixel(Ibmp,x,y)
      SetPixel(Obmp,x,y,pix)
   Next x
   if(y%10=0)
      DspWhile("Reducing colours",100/Ibmp.Height*y)
   endif
Next y
DspWhile("",0)
SaveImage(Obmp,outFile)
