float a
a=1
