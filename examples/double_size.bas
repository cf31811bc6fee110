' Double size: the picture twice as wide and twice as high, every input
' pixel becoming a 2 x 2 block (nearest neighbour: sharp edges, no new
' colours). Palette images keep their depth and colour table.
'   tarvil --batch double_size.bas INPUT.bmp OUTPUT.bmp
' Input: 1, 4, 8 or 24 bit, up to 16384 x 16384. Output: the same depth.

string   inpFile,outFile
DevCon   Ibmp,Obmp
RGB      pix
float    x,y,i,v

inpFile=ClArg[1]
outFile=ClArg[2]

Ibmp=LoadImage(inpFile)
Obmp=CreateImage(Ibmp.Width*2,Ibmp.Height*2,Ibmp.BitCount)

if(Ibmp.BitCount<24)
   ' 2, 16 or 256 colour-table entries.
   For i=0 to POW(2,Ibmp.BitCount)-1
      pix=GetPalette(Ibmp,i)
      SetPalette(Obmp,i,pix)
   Next i
endif

' Raw pixel values copy any depth unchanged: an index, or a whole colour.
' Coordinates are cut to whole numbers, so x/2 is the column x halved.
For y=0 to Obmp.Height-1
   For x=0 to Obmp.Width-1
      v=GetPixelVal(Ibmp,x/2,y/2)
      SetPixelVal(Obmp,x,y,v)
   Next x
   if(y%10=0)
      DspWhile("Double size",100/Obmp.Height*y)
   endif
Next y
DspWhile("",0)
SaveImage(Obmp,outFile)
