float x,y
RGB c
y=c.Red
y=x.Width
