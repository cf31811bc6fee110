' Palette remap: the colour table of an 8-bit image reordered by a table of
' new indices, and every pixel's index mapped through the same table, so
' the picture looks the same with other indices.
' Arguments: the 8-bit input, the output.
string   inpFile,outFile
DevCon   Ibmp,Obmp
RGB      pix
float    x,y,i,v
float    newIndex[256]

inpFile=ClArg[1]
outFile=ClArg[2]

Ibmp=LoadImage(inpFile)
Obmp=CreateImage(Ibmp.Width,Ibmp.Height,8)

For i=0 to 255
   newIndex[i]=((i*173)+29)%256
   pix=GetPalette(Ibmp,i)
   SetPalette(Obmp,newIndex[i],pix)
Next i

For y=0 to Ibmp.Height-1
   For x=0 to Ibmp.Width-1
      v=GetPixelVal(Ibmp,x,y)
      SetPixelVal(Obmp,x,y,newIndex[v])
   Next x
   if(y%10=0)
      DspWhile("Remapping",100/Ibmp.Height*y)
   endif
Next y
DspWhile("",0)
SaveImage(Obmp,outFile)
