' 3 x 3 averages, rounded, on (50,60,70) with (100,200,30) at 4,4: every
' window holding the dot gives (100+8*50)/9 = 55.6, 76, 65.6. At the edge
' the nearest pixel stands in for the missing ones: at 8,0 the corner
' (250,250,250) counts four times, at 7,0 twice, at 7,1 once.
DevCon   img
RGB      pix
float    i
float    px[8],py[8]
px[0]=4
py[0]=4
px[1]=3
py[1]=3
px[2]=5
py[2]=5
px[3]=2
py[3]=2
px[4]=0
py[4]=0
px[5]=8
py[5]=0
px[6]=7
py[6]=0
px[7]=7
py[7]=1
img=LoadImage("blur.bmp")
DspMes(img.Width," x ",img.Height,", ",img.BitCount," bit")
For i=0 to 7
   pix=GetPixel(img,px[i],py[i])
   DspMes("at ",px[i]," ",py[i],": ",pix.Red," ",pix.Green," ",pix.Blue)
Next i
