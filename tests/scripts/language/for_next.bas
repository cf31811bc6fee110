float i,j,n
' The body runs for 1, 2, 3 and leaves i at the first failing value.
n=0
For i=1 to 3
  n=n+1
Next i
DspMes("a: ", n, " ", i)
' The body always runs at least once.
n=0
For i=5 to 1
  n=n+1
Next i
DspMes("b: ", n, " ", i)
' A negative step still repeats while i <= limit.
n=0
For i=10 to 1 step -1
  n=n+1
Next i
DspMes("c: ", n, " ", i)
n=0
FOR i = 1 TO 3 STEP 0.5
  n=n+1
NEXT i
DspMes("d: ", n, " ", i)
' Without " to " the FOR line is ignored, and so is its NEXT.
n=0
For i=1 to3
  n=n+1
Next i
DspMes("e: ", n)
' Nested loops; the limit is evaluated once.
n=0
For i=1 to 3
  For j=i to 3
    n=n+1
  Next j
Next i
DspMes("f: ", n, " ", j)
n=3
For i=1 to n
  n=10
Next i
DspMes("g: ", i)
