float i
DspMes("ClNum=", ClNum)
For i=0 to ClNum-1
  DspMes(i, ": ", ClArg[i])
Next i
