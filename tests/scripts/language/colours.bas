' RGB and HBS values, their members and the conversions between them.
RGB c,d
HBS h
float f
c.Red=255
c.Green=128
c.Blue=0
h=c
DspMes("hbs ", h.Hue, " ", h.Bri, " ", h.Sat)
d=h
DspMes("back ", d.Red, " ", d.Green, " ", d.Blue)
c.Red=200
c.Green=100
c.Blue=50
h=c
DspMes("hbs ", h.Hue, " ", h.Bri, " ", h.Sat)
c.Lum=128
h=c
d=h
DspMes("grey ", h.Hue, " ", h.Bri, " ", h.Sat, " back ", d.Red, " ", d.Green, " ", d.Blue)
h.Hue=0
h.Bri=240
h.Sat=0
d=h
DspMes("white ", d)
' Members wrap to 8 bits.
c.Red=300
c.Green=-1
DspMes(c.Red, " ", c.Green, " ", c.Blue)
' Lum assigned directly keeps its fraction; in an expression it is an integer.
c.Red=1
c.Green=0
c.Blue=0
f=c.Lum
DspMes(f, " ", c.Lum+0)
c.Red=1
c.Green=2
c.Blue=3
DspMes(c)
c.Red="text"
DspMes(c.Red)
