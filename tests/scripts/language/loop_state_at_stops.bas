' The loop variable, the sum and the comparison temporaries as Debug and a
' run-time error find them in the middle of a pass.
float i,s,t
For i=1 to 10 step 1.5
   s=s+i
   t=s*2-i
   if(i=5.5)
      Debug
   endif
Next i
DspMes(i," ",s," ",t)
For i=1 to 100
   s=s+i
   if(i=7)
      t=i%0
   endif
   t=t+1
Next i
