' A histogram and its running totals: 4,194,304 values (a*a + b*b) % 256 for
' a and b from 0 to 2047 counted in 256 bins, the cumulative counts summed,
' then the median bin and the fullest bin found; prints them and the count
' of bin 0.
float    hist[256]
float    cum[256]
float    a,b,v,i,running,median,fullest

For a=0 to 2047
   For b=0 to 2047
      v=((a*a)+(b*b))%256
      hist[v]=hist[v]+1
   Next b
Next a

running=0
For i=0 to 255
   running=running+hist[i]
   cum[i]=running
Next i

median=-1
fullest=0
For i=0 to 255
   if((median<0)&(cum[i]>=2097152))
      median=i
   endif
   if(hist[i]>hist[fullest])
      fullest=i
   endif
Next i
DspMes("median bin ",median,", fullest bin ",fullest," with ",hist[fullest],", bin 0 with ",hist[0])
