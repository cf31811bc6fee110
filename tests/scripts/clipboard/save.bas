DevCon img,back
RGB c
img=CreateImage(3,2,24)
c.Red=10
c.Green=20
c.Blue=30
SetPixel(img,2,1,c)
SaveImage(img,"CLIPBOARD")
DspMes("saved ", img.Width, "x", img.Height)
