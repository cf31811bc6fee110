' White where (x/2 + y/2) mod 3 = 0, each input pixel a 2 x 2 block, so
' four times as many white pixels as the input has.
DevCon   img,inp
float    x,y,n,m
img=LoadImage("double1.bmp")
DspMes(img.Width," x ",img.Height,", ",img.BitCount," bit")
DspMes("at 0 0, 2 0, 3 5, 69 41, 71 41: ",GetPixelVal(img,0,0),GetPixelVal(img,2,0),GetPixelVal(img,3,5),GetPixelVal(img,69,41),GetPixelVal(img,71,41))
inp=LoadImage("bw1.bmp")
n=0
For y=0 to inp.Height-1
   For x=0 to inp.Width-1
      n=n+GetPixelVal(inp,x,y)
   Next x
Next y
m=0
For y=0 to img.Height-1
   For x=0 to img.Width-1
      m=m+GetPixelVal(img,x,y)
   Next x
Next y
DspMes("four times the white pixels: ",m=(n*4))
