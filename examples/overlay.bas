' Overlay: puts one image in the middle of another, like a logo on a
' photo. Pixels of the overlay that have the colour of its top-left
' corner are left out, so the background shows through around a shape.
' Set `opacity` below 1 to let the background show through everywhere.
'   tarvil --batch overlay.bas BACKGROUND.bmp OVERLAY.bmp OUTPUT.bmp
' Input: 1, 4, 8 or 24 bit; the overlay no larger than the background.
' Output: 24 bit, the size of the background.

string   backFile,overFile,outFile
DevCon   Back,Over,Obmp
RGB      pix,key,top
float    x,y,left,upper,opacity

backFile=ClArg[1]
overFile=ClArg[2]
outFile=ClArg[3]
opacity=1

Back=LoadImage(backFile)
Over=LoadImage(overFile)
if((Over.Width>Back.Width)|(Over.Height>Back.Height))
   DspMes("The overlay is larger than the background")
   Return
endif

Obmp=CreateImage(Back.Width,Back.Height,24)
For y=0 to Back.Height-1
   For x=0 to Back.Width-1
      pix=GetPixel(Back,x,y)
      SetPixel(Obmp,x,y,pix)
   Next x
Next y

left=INT((Back.Width-Over.Width)/2)
upper=INT((Back.Height-Over.Height)/2)
key=GetPixel(Over,0,0)
For y=0 to Over.Height-1
   For x=0 to Over.Width-1
      top=GetPixel(Over,x,y)
      ' A colour reads as one number: equal numbers, equal colours.
      if(top<>key)
         pix=GetPixel(Obmp,left+x,upper+y)
         pix.Red  =(top.Red*opacity)+(pix.Red*(1-opacity))+0.5
         pix.Green=(top.Green*opacity)+(pix.Green*(1-opacity))+0.5
         pix.Blue =(top.Blue*opacity)+(pix.Blue*(1-opacity))+0.5
         SetPixel(Obmp,left+x,upper+y,pix)
      endif
   Next x
   if(y%10=0)
      DspWhile("Overlay",100/Over.Height*y)
   endif
Next y
DspWhile("",0)
SaveImage(Obmp,outFile)
