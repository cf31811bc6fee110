' Grey 128 lies between red (and blue) levels 2 (102) and 3 (153), at
' 0.51 of the step: half of the 16 thresholds of the pattern lift it to 3.
' Green 128 is level 3 (127.5) itself and stays there.
DevCon   img
RGB      pix
float    x,y,redLow,redHigh,greenMid,blueLow,blueHigh
img=LoadImage("reduced_flat.bmp")
DspMes(img.Width," x ",img.Height,", ",img.BitCount," bit")
For y=0 to 7
   For x=0 to 7
      pix=GetPixel(img,x,y)
      redLow=redLow+(pix.Red=102)
      redHigh=redHigh+(pix.Red=153)
      greenMid=greenMid+(pix.Green=128)
      blueLow=blueLow+(pix.Blue=102)
      blueHigh=blueHigh+(pix.Blue=153)
   Next x
Next y
DspMes("red 102, 153: ",redLow," ",redHigh,"; green 128: ",greenMid,"; blue 102, 153: ",blueLow," ",blueHigh)
