' Makes the sample images the other examples work on:
' sample1.bmp, sample4.bmp, sample8.bmp and sample24.bmp, 160 x 120 pixels.

DevCon   img
RGB      c
float    x,y,w,h,i,dx,dy

w=160
h=120

' 24 bit: red grows to the right, green downwards.
img=CreateImage(w,h,24)
For y=0 to h-1
   For x=0 to w-1
      c.Red  =x*255/(w-1)
      c.Green=y*255/(h-1)
      c.Blue =128
      SetPixel(img,x,y,c)
   Next x
Next y
SaveImage(img,"sample24.bmp")

' 8 bit: a palette running from blue to yellow, in diagonal bands.
img=CreateImage(w,h,8)
For i=0 to 255
   c.Red  =i
   c.Green=i
   c.Blue =255-i
   SetPalette(img,i,c)
Next i
For y=0 to h-1
   For x=0 to w-1
      SetPixelVal(img,x,y,(x+y)%256)
   Next x
Next y
SaveImage(img,"sample8.bmp")

' 4 bit: the default grey ramp, in vertical stripes.
img=CreateImage(w,h,4)
For y=0 to h-1
   For x=0 to w-1
      SetPixelVal(img,x,y,INT(x/10)%16)
   Next x
Next y
SaveImage(img,"sample4.bmp")

' 1 bit: a white disc of radius 50 on black. Expressions run from left to
' right, so the brackets are needed: x-w/2 alone would be (x-w)/2.
img=CreateImage(w,h,1)
For y=0 to h-1
   For x=0 to w-1
      dx=x-(w/2)
      dy=y-(h/2)
      if((dx*dx)+(dy*dy)<2500)
         SetPixelVal(img,x,y,1)
      endif
   Next x
Next y
SaveImage(img,"sample1.bmp")

DspMes("Wrote sample1.bmp, sample4.bmp, sample8.bmp and sample24.bmp")
