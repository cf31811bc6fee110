' Two operands with nothing but a blank between them: x would be left unused.
float x, y
y = x 3
