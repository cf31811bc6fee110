float a
IF(a)
ENDIF
ENDIF
