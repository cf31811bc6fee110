DevCon img
img=CreateImage(2,2,24)
SaveImage(img,"Clipboard")
