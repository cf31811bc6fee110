' A 4-bit image with its own colour table through the new-document template.
' The input is made here; the new-document template (unchanged below) copies it
' to output.bmp; the end compares both files pixel by pixel and entry by entry.
DevCon   Src,Chk,Out
RGB      c
float    i,u,v,bad,same,entries

Src=CreateImage(13,11,4)
For i=0 to 15
  c.Red=i*7
  c.Green=255-i
  c.Blue=i*3+1
  SetPalette(Src,i,c)
Next i
For v=0 to 10
  For u=0 to 12
    SetPixelVal(Src,u,v,(u*7+v*13)%16)
  Next u
Next v
SaveImage(Src,"input.bmp")
' ---- the template

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

inpFile="input.bmp"
outFile="output.bmp"

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
DspMes("End")

' ---- the comparison
Chk=LoadImage("input.bmp")
Out=LoadImage("output.bmp")
bad=0
same=0
entries=0
For v=0 to Chk.Height-1
  For u=0 to Chk.Width-1
    if(GetPixel(Chk,u,v)<>GetPixel(Out,u,v))
      bad=bad+1
    endif
    if(GetPixelVal(Chk,u,v)=GetPixelVal(Out,u,v))
      same=same+1
    endif
  Next u
Next v
For i=0 to 15
  if(GetPalette(Chk,i)<>GetPalette(Out,i))
    entries=entries+1
  endif
Next i
DspMes(Out.Width,"x",Out.Height,"x",Out.BitCount,": pixel colours differing ",bad,", colour-table entries differing ",entries,", stored values equal ",same)
