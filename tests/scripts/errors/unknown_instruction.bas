DspMes("before")

foo bar
DspMes("never")
