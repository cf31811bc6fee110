' Texts: + joins two of them, = and <> compare them; a string right after an
' operator is its right operand. A join is cut at 254 bytes, never inside a
' character. A text with a number is not numeric.
string a,b,c,d,empty
float t
a="photo.bmp"
b=a+".png"
DspMes(b)
c="dir/"+a
DspMes(c)
DspMes("one"+"two"+"three")
t=(a="photo.bmp")+((a<>"photo.bmp")*10)+((empty="")*100)+((b=a)*1000)+((empty<>"")*10000)
DspMes(t)
if(a<>"")
   DspMes("not empty")
endif
c="xxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxx"
c=c+c+c
DspMes(c)
c="yyyyyyyyyyyyyyyyyyyyyyyyyyyyyyyyyyyyyyyyyyyyyyyyyyyyyyyyyyyyyyyyyyyyyyyyyyyyyyyyyyyyyyyyyyyyyyyyyyyyyyyyyyyyyyyyyyyyyyyyyyyyyy"
d="yyyyyyyyyyyyyyyyyyyyyyyyyyyyyyyyyyyyyyyyyyyyyyyyyyyyyyyyyyyyyyyyyyyyyyyyyyyyyyyyyyyyyyyyyyyyyyyyyyyyyyyyyyyyyyyyyyyyyyyyyyyyyyy"
c=c+d+"é"
DspMes(c)
DspMes(a+1)
