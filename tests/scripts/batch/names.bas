' Names outside Latin-1 reach the file system as they are, from the command
' line, from string literals and from FILEFIND, and two of them stay two files.
DevCon img
string f,p
img=CreateImage(3,1,24)
SaveImage(img,ClArg[1])
img=CreateImage(5,1,8)
SaveImage(img,ClArg[2])
img=CreateImage(7,1,4)
SaveImage(img,"café.bmp")
p=ClArg[1]
f=FileFind(p)
img=LoadImage(f)
DspMes(f, " ", img.Width)
p="中*"
f=FileFind(p)
img=LoadImage(f)
DspMes(f, " ", img.Width)
p="caf?.bmp"
f=FileFind(p)
img=LoadImage(f)
DspMes(f, " ", img.Width)
f=FileFind(p)
DspMes("more: [", f, "]")
