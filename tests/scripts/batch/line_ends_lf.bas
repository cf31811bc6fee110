float x
x=2
DspMes("lf only ", x)
