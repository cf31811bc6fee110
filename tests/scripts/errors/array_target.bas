float x
float zz
q[1] = zz
