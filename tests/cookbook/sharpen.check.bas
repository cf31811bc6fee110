' 5 x the pixel - its four neighbours, kept within 0..255, on (50,60,70)
' with (100,200,30) at 4,4 and (250,250,250) at 8,0: the dot gives
' (300,760,-130), its neighbour 3,4 (0,-80,110), a flat pixel itself; at
' the edge the pixel stands in for a missing neighbour.
DevCon   img
RGB      pix
float    i
float    px[7],py[7]
px[0]=4
py[0]=4
px[1]=3
py[1]=4
px[2]=4
py[2]=5
px[3]=3
py[3]=3
px[4]=0
py[4]=0
px[5]=8
py[5]=0
px[6]=7
py[6]=0
img=LoadImage("sharp.bmp")
DspMes(img.Width," x ",img.Height,", ",img.BitCount," bit")
For i=0 to 6
   pix=GetPixel(img,px[i],py[i])
   DspMes("at ",px[i]," ",py[i],": ",pix.Red," ",pix.Green," ",pix.Blue)
Next i
