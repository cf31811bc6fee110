' Makes the codec case's input: a 2048 x 2048 colour picture like a photograph
' (smooth shading with a little grain), saved as PNG and as JPEG.
' Arguments: the PNG file, the JPEG file.
string   outPng,outJpg
DevCon   img
RGB      pix
float    x,y,g

outPng=ClArg[1]
outJpg=ClArg[2]

img=CreateImage(2048,2048,24)
For y=0 to 2047
   For x=0 to 2047
      g=Rand(12)
      pix.Red=(x/9+g)%256
      pix.Green=(y/9+x/40+g)%256
      pix.Blue=((x+y)/17+g)%256
      SetPixel(img,x,y,pix)
   Next x
Next y
SaveImage(img,outPng)
SaveImage(img,outJpg)
