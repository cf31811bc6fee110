' Reduce to 8 bits: a 24-bit picture as an 8-bit image with a palette of
' 252 colours (6 levels of red, 7 of green, 6 of blue). Ordered dithering
' (a 4 x 4 Bayer pattern) mixes neighbouring levels so that smooth
' gradients do not turn into bands.
'   tarvil --batch reduce_to_8bit.bas INPUT.bmp OUTPUT.bmp
' Input: 1, 4, 8 or 24 bit. Output: 8 bit.

string   inpFile,outFile
DevCon   Ibmp,Obmp
RGB      pix
float    x,y,i,j,a,r,g,b,d
float    offset[16]

inpFile=ClArg[1]
outFile=ClArg[2]

Ibmp=LoadImage(inpFile)
Obmp=CreateImage(Ibmp.Width,Ibmp.Height,8)

' Entry r*42 + g*6 + b holds red level r, green level g, blue level b.
For i=0 to 251
   pix.Red  =INT(i/42)*51
   pix.Green=((INT(i/6)%7)*42.5)+0.5
   pix.Blue =(i%6)*51
   SetPalette(Obmp,i,pix)
Next i

' The Bayer pattern's 16 thresholds, as offsets between -0.5 and 0.5 of
' a level: a colour that is exactly on a level never moves off it.
For j=0 to 3
   For i=0 to 3
      a=i^j
      offset[(j*4)+i]=(((((a&1)*8)+((j&1)*4)+(a&2)+((j&2)/2))+0.5)/16)-0.5
   Next i
Next j

For y=0 to Ibmp.Height-1
   For x=0 to Ibmp.Width-1
      pix=GetPixel(Ibmp,x,y)
      d=offset[((y%4)*4)+(x%4)]
      r=INT((pix.Red*5/255)+0.5+d)
      g=INT((pix.Green*6/255)+0.5+d)
      b=INT((pix.Blue*5/255)+0.5+d)
      SetPixelVal(Obmp,x,y,(r*42)+(g*6)+b)
   Next x
   if(y%10=0)
      DspWhile("Reducing to 8 bits",100/Ibmp.Height*y)
   endif
Next y
DspWhile("",0)
SaveImage(Obmp,outFile)
