' Operators apply strictly from left to right; brackets group.
float a,b,c
DspMes(1+2*3)
DspMes(2*(3+4))
DspMes(10-2-3)
a=100
b=4
c=3
DspMes(a/b*c)
DspMes(-5, " ", 2*-3, " ", 10--2)
DspMes(7/2, " ", 1/0, " ", -1/0)
' Comparisons give 1 and 0; the right operand is rounded to single precision.
DspMes(2=2, 2<>2, 1<2, 2<=2, 3>2, 2>=3, 3>>2)
DspMes(0.1=0.1, " ", a<=b+1)
' Integer operators work on unsigned 32-bit values.
DspMes(7.9%3, " ", -1%3, " ", 7%-2)
DspMes(6&3, " ", 6|3, " ", 6^3, " ", -1&255, " ", -1|0)
DspMes(!0, " ", !5, " ", !a&b, " ", !(a&b))
' A number is the run of digits and points: 1.5.7 reads as 1.5.
DspMes(1.5.7)
DspMes(S IN(0), " ", "keeps  blanks")
a=1+2)+3
DspMes(a)
