string s
float x
DspMes("before")
x=s+1
DspMes("never")
