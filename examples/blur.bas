' Blur: every pixel becomes the average of the 3 x 3 pixels around it.
' At the edges the nearest pixel inside the picture stands in for the
' missing ones. Run it again on its output for a stronger blur.
'   tarvil --batch blur.bas INPUT.bmp OUTPUT.bmp
' Input: 1, 4, 8 or 24 bit. Output: 24 bit.

string   inpFile,outFile
DevCon   Ibmp,Obmp
RGB      pix
float    x,y,i,j,sr,sg,sb,right,bottom

inpFile=ClArg[1]
outFile=ClArg[2]

Ibmp=LoadImage(inpFile)
Obmp=CreateImage(Ibmp.Width,Ibmp.Height,24)
right=Ibmp.Width-1
bottom=Ibmp.Height-1

For y=0 to bottom
   For x=0 to right
      sr=0
      sg=0
      sb=0
      For j=-1 to 1
         For i=-1 to 1
            pix=GetPixel(Ibmp,MIN(MAX(x+i,0),right),MIN(MAX(y+j,0),bottom))
            sr=sr+pix.Red
            sg=sg+pix.Green
            sb=sb+pix.Blue
         Next i
      Next j
      pix.Red  =(sr/9)+0.5
      pix.Green=(sg/9)+0.5
      pix.Blue =(sb/9)+0.5
      SetPixel(Obmp,x,y,pix)
   Next x
   if(y%10=0)
      DspWhile("Blur",100/Ibmp.Height*y)
   endif
Next y
DspWhile("",0)
SaveImage(Obmp,outFile)
