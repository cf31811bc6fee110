' A division by zero in the fourth pass stops the run on its own line.
float i,s,d
d=4
For i=1 to 10
   s=s+i
   d=d-1
   DspMes(i)
   s=s%d
Next i
DspMes("not reached")
