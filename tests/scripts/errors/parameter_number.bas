DevCon img
float x,y
SetPixel(img, x, y)
