' SETPIXEL on a palette image takes the nearest entry of the table as it is
' at that moment: a colour already placed once follows a changed table.
DevCon   img
RGB      red,near,black,pix
float    x
red.Red=255
near.Red=200
img=CreateImage(4,2,8)
SetPalette(img,0,red)
SetPalette(img,1,near)
SetPixel(img,0,0,red)
SetPalette(img,0,black)
SetPixel(img,1,0,red)
SetPalette(img,1,black)
SetPalette(img,2,red)
SetPixel(img,2,0,red)
For x=0 to 3
   pix=GetPixel(img,x,0)
   SetPixel(img,x,1,pix)
Next x
DspMes(GetPixelVal(img,0,0),GetPixelVal(img,1,0),GetPixelVal(img,2,0),GetPixelVal(img,3,0))
DspMes(GetPixelVal(img,0,1),GetPixelVal(img,1,1),GetPixelVal(img,2,1),GetPixelVal(img,3,1))
