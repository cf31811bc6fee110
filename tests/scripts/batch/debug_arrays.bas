float b[3],i
RGB c[2],p
string t[2]
p.Red=9
For i=0 to 2
  b[i]=i*1.5
Next i
c[1]=p
t[1]="one"
Debug
DspMes(b[2]," ",t[1])
