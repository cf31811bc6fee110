float x
x=SETPIXEL(1,2)
