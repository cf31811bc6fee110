' Makes the inputs of the workloads in bench/workloads, side x side pixels.
' Arguments: the random 24-bit file, the smooth 24-bit file, the random
' 8-bit file (random colour table), the grey 8-bit file, and a random 24-bit
' file of half the side.
string   rgbFile,smoothFile,palFile,greyFile,smallFile
DevCon   img
RGB      pix
float    side,half,x,y,i,v

side=1024
half=side/2

rgbFile=ClArg[1]
smoothFile=ClArg[2]
palFile=ClArg[3]
greyFile=ClArg[4]
smallFile=ClArg[5]

' Noise: every component random.
img=CreateImage(side,side,24)
For y=0 to side-1
   For x=0 to side-1
      pix.Red=Rand(255)
      pix.Green=Rand(255)
      pix.Blue=Rand(255)
      SetPixel(img,x,y,pix)
   Next x
Next y
SaveImage(img,rgbFile)

' A smooth picture: red across, green down, blue in waves, a little grain.
img=CreateImage(side,side,24)
For y=0 to side-1
   For x=0 to side-1
      pix.Red=(x*252/side)+Rand(3)
      pix.Green=(y*252/side)+Rand(3)
      pix.Blue=128+(100*Sin((x+y)*8/side))+Rand(3)
      SetPixel(img,x,y,pix)
   Next x
Next y
SaveImage(img,smoothFile)

' Random indices into a random colour table.
img=CreateImage(side,side,8)
For i=0 to 255
   pix.Red=Rand(255)
   pix.Green=Rand(255)
   pix.Blue=Rand(255)
   SetPalette(img,i,pix)
Next i
For y=0 to side-1
   For x=0 to side-1
      SetPixelVal(img,x,y,Rand(255))
   Next x
Next y
SaveImage(img,palFile)

' Grey levels with edges: a checkerboard of 64-pixel squares under soft waves.
img=CreateImage(side,side,8)
For y=0 to side-1
   For x=0 to side-1
      v=(((Int(x*16/side)+Int(y*16/side))%2)*120)+60+(40*Sin(x/20)*Cos(y/30))+Rand(8)
      SetPixelVal(img,x,y,v)
   Next x
Next y
SaveImage(img,greyFile)

' Noise at half the side.
img=CreateImage(half,half,24)
For y=0 to half-1
   For x=0 to half-1
      pix.Red=Rand(255)
      pix.Green=Rand(255)
      pix.Blue=Rand(255)
      SetPixel(img,x,y,pix)
   Next x
Next y
SaveImage(img,smallFile)
