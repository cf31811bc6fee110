' Loads an image and saves it again. Arguments: input, output.
string   inpFile,outFile
DevCon   img
inpFile=ClArg[1]
outFile=ClArg[2]
img=LoadImage(inpFile)
SaveImage(img,outFile)
