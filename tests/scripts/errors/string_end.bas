DspMes("it's")
