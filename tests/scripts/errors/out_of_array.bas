float b[3]
b[-1]=1
