float e, x
x = 1e+e
