float x
x = y * 2
