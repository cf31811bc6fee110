' The first RAND after the program starts, and the sequence after it.
DspMes(RAND(1))
DspMes(INT(RAND(32767)), " ", INT(RAND(32767)), " ", RAND(0))
DspMes(SIN(0), " ", COS(0), " ", TAN(0), " ", ATAN(1))
DspMes(ASIN(1), " ", ACOS(1), " ", HSIN(0), " ", HCOS(0), " ", HTAN(0))
DspMes(SQR(16), " ", SQR(-1), " ", ABS(-2.5), " ", EXP(0), " ", LOG(0), " ", BLOG(1000))
DspMes(POW(2,10), " ", POW(2,0.5), " ", MIN(3,5), " ", MAX(3,5), " ", MIN(5,3))
DspMes(INT(3.7), " ", INT(-1.5), " ", INT(0.5))
' An unknown word that begins with a function keyword calls that function.
DspMes(SINE(0), " ", PI)
' DSPMES joins its values; %g gives six significant digits.
DspMes("x=", 1.5, " Count:", 100000, " big:", 1234567, " small:", 0.0001)
DspMes()
DspMes("percent % stays")
' Functions of several arguments are one value each.
DspMes(MIN(POW(2,3),4), " ", MAX(1,2), RAND(0))
