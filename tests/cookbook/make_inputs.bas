' The cookbook test's inputs, small and with values easy to follow by hand:
'   grad24.bmp  65 x 49, 24 bit: red 3x, green 5y, blue 255-3x
'   pal8.bmp    40 x 30, 8 bit: index (x+y) mod 256, entry i (i, 255-i, 7i mod 256)
'   pal4.bmp    33 x 17, 4 bit: index x mod 16, entry i (16i, 0, 255-16i)
'   bw1.bmp     37 x 21, 1 bit: white where (x+y) mod 3 = 0
'   dot24.bmp    9 x 9, 24 bit: (50,60,70), with (100,200,30) at 4,4 and
'                (250,250,250) in the top-right corner 8,0
'   flat24.bmp   8 x 8, 24 bit: all (128,128,128)
'   logo24.bmp  21 x 11, 24 bit: magenta, with (10,20,30) from 5,3 to 15,7
DevCon   img
RGB      c
float    x,y,i

img=CreateImage(65,49,24)
For y=0 to 48
   For x=0 to 64
      c.Red=x*3
      c.Green=y*5
      c.Blue=255-(x*3)
      SetPixel(img,x,y,c)
   Next x
Next y
SaveImage(img,"grad24.bmp")

img=CreateImage(40,30,8)
For i=0 to 255
   c.Red=i
   c.Green=255-i
   c.Blue=(i*7)%256
   SetPalette(img,i,c)
Next i
For y=0 to 29
   For x=0 to 39
      SetPixelVal(img,x,y,(x+y)%256)
   Next x
Next y
SaveImage(img,"pal8.bmp")

img=CreateImage(33,17,4)
For i=0 to 15
   c.Red=i*16
   c.Green=0
   c.Blue=255-(i*16)
   SetPalette(img,i,c)
Next i
For y=0 to 16
   For x=0 to 32
      SetPixelVal(img,x,y,x%16)
   Next x
Next y
SaveImage(img,"pal4.bmp")

img=CreateImage(37,21,1)
For y=0 to 20
   For x=0 to 36
      SetPixelVal(img,x,y,(x+y)%3=0)
   Next x
Next y
SaveImage(img,"bw1.bmp")

img=CreateImage(9,9,24)
c.Red=50
c.Green=60
c.Blue=70
For y=0 to 8
   For x=0 to 8
      SetPixel(img,x,y,c)
   Next x
Next y
c.Red=100
c.Green=200
c.Blue=30
SetPixel(img,4,4,c)
c.Red=250
c.Green=250
c.Blue=250
SetPixel(img,8,0,c)
SaveImage(img,"dot24.bmp")

img=CreateImage(8,8,24)
c.Red=128
c.Green=128
c.Blue=128
For y=0 to 7
   For x=0 to 7
      SetPixel(img,x,y,c)
   Next x
Next y
SaveImage(img,"flat24.bmp")

img=CreateImage(21,11,24)
c.Red=255
c.Green=0
c.Blue=255
For y=0 to 10
   For x=0 to 20
      SetPixel(img,x,y,c)
   Next x
Next y
c.Red=10
c.Green=20
c.Blue=30
For y=3 to 7
   For x=5 to 15
      SetPixel(img,x,y,c)
   Next x
Next y
SaveImage(img,"logo24.bmp")
