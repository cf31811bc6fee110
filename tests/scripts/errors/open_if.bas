float a
IF(a)
  a=1
ELSE
  a=2
