float x
x=((1+2)
