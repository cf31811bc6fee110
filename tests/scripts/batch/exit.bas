EXIT
DspMes("after EXIT")
