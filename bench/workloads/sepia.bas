' Sepia: the usual weighted sums of red, green and blue, at most 255.
' Arguments: the 24-bit input, the output.
string   inpFile,outFile
DevCon   Ibmp,Obmp
RGB      pix
float    x,y,tr,tg,tb

inpFile=ClArg[1]
outFile=ClArg[2]

Ibmp=LoadImage(inpFile)
Obmp=CreateImage(Ibmp.Width,Ibmp.Height,24)

For y=0 to Ibmp.Height-1
   For x=0 to Ibmp.Width-1
      pix=GetPixel(Ibmp,x,y)
      tr=(0.393*pix.Red)+(0.769*pix.Green)+(0.189*pix.Blue)
      tg=(0.349*pix.Red)+(0.686*pix.Green)+(0.168*pix.Blue)
      tb=(0.272*pix.Red)+(0.534*pix.Green)+(0.131*pix.Blue)
      pix.Red=Min(tr,255)
      pix.Green=Min(tg,255)
      pix.Blue=Min(tb,255)
      SetPixel(Obmp,x,y,pix)
   Next x
   if(y%10=0)
      DspWhile("Sepia",100/Ibmp.Height*y)
   endif
Next y
DspWhile("",0)
SaveImage(Obmp,outFile)
