float a
ELSE
