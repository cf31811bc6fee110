' The grey of each pixel's palette colour: at 0,0 entry 0 (0,255,0) gives
' 149.69, at 10,20 entry 30 (30,225,210) 164.99, at 39,29 entry 68
' (68,187,220) 155.18.
DevCon   img
img=LoadImage("grey8.bmp")
DspMes(img.Width," x ",img.Height,", ",img.BitCount," bit")
DspMes("at 0 0, 10 20, 39 29: ",GetPixelVal(img,0,0)," ",GetPixelVal(img,10,20)," ",GetPixelVal(img,39,29))
