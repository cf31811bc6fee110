float i,s
FOR i=1 to 10000000
s=s+i
NEXT i
