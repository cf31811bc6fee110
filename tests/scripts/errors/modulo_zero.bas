float x
x=0
DspMes(7%x)
