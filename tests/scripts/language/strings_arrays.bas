string s,t[3]
float b[3],i
s="first"
t[0]="zero"
t[1]="one"
t[2]="two"
DspMes(s, " ", t, " ", t[1], " ", t[2])
For i=0 to 2
  b[i]=i*10
Next i
DspMes(b, " ", b[1], " ", b[2], " ", b[2.9])
s=t[2]
DspMes(s)
' A name with a digit ends before it: x1 reads as x followed by 1.
DspMes(b[3])
