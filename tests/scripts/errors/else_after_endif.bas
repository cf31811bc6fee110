float a
IF(a)
  a=1
ENDIF
a=2
ELSE
a=3
