' Box blur: every pixel inside the border becomes the average of its 3 x 3
' neighbourhood; the one-pixel border stays black.
' Arguments: the 24-bit input, the output.
string   inpFile,outFile
DevCon   Ibmp,Obmp
RGB      pix
float    x,y,i,j,sr,sg,sb

inpFile=ClArg[1]
outFile=ClArg[2]

Ibmp=LoadImage(inpFile)
Obmp=CreateImage(Ibmp.Width,Ibmp.Height,24)

For y=1 to Ibmp.Height-2
   For x=1 to Ibmp.Width-2
      sr=0
      sg=0
      sb=0
      For j=-1 to 1
         For i=-1 to 1
            pix=GetPixel(Ibmp,x+i,y+j)
            sr=sr+pix.Red
            sg=sg+pix.Green
            sb=sb+pix.Blue
         Next i
      Next j
      pix.Red=sr/9
      pix.Green=sg/9
      pix.Blue=sb/9
      SetPixel(Obmp,x,y,pix)
   Next x
   if(y%10=0)
      DspWhile("Blur",100/Ibmp.Height*y)
   endif
Next y
DspWhile("",0)
SaveImage(Obmp,outFile)
