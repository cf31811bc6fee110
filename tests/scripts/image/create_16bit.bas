' An unsupported bit count warns and the run goes on; saving the image without pixels fails.
DevCon img
img=CreateImage(8,8,16)
DspMes("still running, ",img.BitCount)
SaveImage(img,"x.bmp")
DspMes("not reached")
