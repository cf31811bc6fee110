"""The Mandelbrot set on an 800 x 600 grid over -2..1 x -1.2..1.2: for every
point the iteration at which z escapes (|z|^2 > 4), or 100 when it does not
within 100 iterations; prints the sum."""
total = 0
for py in range(600):
    cy = py * 0.004 - 1.2
    for px in range(800):
        cx = px * 0.00375 - 2
        zx = zy = 0.0
        it = 100
        for k in range(1, 101):
            t = zx * zx - zy * zy + cx
            zy = 2 * zx * zy + cy
            zx = t
            if zx * zx + zy * zy > 4:
                it = k
                break
        total += it
print(f"iterations: {total}")
