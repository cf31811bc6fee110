float a,b
a=1
IF(a)
  DspMes("then")
ELSE
  DspMes("else")
ENDIF
IF(0)
  DspMes("not shown")
ELSE
  DspMes("else branch")
ENDIF
IF(0)
  DspMes("not shown")
Endif
DspMes("after")
' Nested blocks close innermost first.
b=0
if(a)
  if(b)
    DspMes("inner then")
  else
    DspMes("inner else")
  endif
  DspMes("outer then")
endif
' -0 is false, a NaN is true.
IF(-0)
  DspMes("minus zero true")
ELSE
  DspMes("minus zero false")
ENDIF
IF(SQR(-1))
  DspMes("NaN true")
ENDIF
' ELSEIF reads as ELSE; the rest of the line is ignored.
IF(0)
  DspMes("no")
ELSEIF(a)
  DspMes("elseif as else")
ENDIF
RETURN
DspMes("not reached")
