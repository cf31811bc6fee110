' Number literals, with and without an exponent, and how numbers are shown:
' always with "." as the point, whatever the user's locale.
float a, b, c, e, x, big
a = 0.5
b = 2.5e-3
c = 1E5
e = 7
x = 1e3+e
DspMes(a, " ", b, " ", c, " ", x)
DspMes(1e5, " ", 2.5E+2, " ", .5e1, " ", 007e-01, " ", 1.5.7)
' Six significant digits; the exponent form for very small and large magnitudes.
DspMes(123456, " ", 1234567, " ", 0.0001, " ", 0.00001234, " ", 1/3, " ", PI)
big = 1e30*1e30
DspMes(big, " ", -big, " ", ABS(big-big), " ", 0*-1, " ", 1e-40, " ", 3.4e38)
Debug
