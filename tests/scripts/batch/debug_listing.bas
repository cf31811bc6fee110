float x
x=2.5
Debug
DspMes("continued")
