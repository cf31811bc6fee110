' Makes the benchmark inputs: random 2048 x 2048 images at 24 and 8 bits.
' Arguments: the 24-bit file, the 8-bit file.
string   outRgb,outPal
DevCon   img
RGB      pix
float    x,y,i

outRgb=ClArg[1]
outPal=ClArg[2]

img=CreateImage(2048,2048,24)
For y=0 to 2047
   For x=0 to 2047
      pix.Red=Rand(255)
      pix.Green=Rand(255)
      pix.Blue=Rand(255)
      SetPixel(img,x,y,pix)
   Next x
Next y
SaveImage(img,outRgb)

img=CreateImage(2048,2048,8)
For i=0 to 255
   pix.Red=Rand(255)
   pix.Green=Rand(255)
   pix.Blue=Rand(255)
   SetPalette(img,i,pix)
Next i
For y=0 to 2047
   For x=0 to 2047
      SetPixelVal(img,x,y,Rand(255))
   Next x
Next y
SaveImage(img,outPal)
