DevCon img
DspMes("loading")
img=LoadImage("clipboard")
