"""A histogram and its running totals: 4,194,304 values (a*a + b*b) % 256 for
a and b from 0 to 2047 counted in 256 bins, the cumulative counts summed, then
the median bin and the fullest bin found; prints them and the count of bin 0."""
hist = [0] * 256
cum = [0] * 256

for a in range(2048):
    for b in range(2048):
        v = (a * a + b * b) % 256
        hist[v] = hist[v] + 1

running = 0
for i in range(256):
    running = running + hist[i]
    cum[i] = running

median, fullest = -1, 0
for i in range(256):
    if median < 0 and cum[i] >= 2097152:
        median = i
    if hist[i] > hist[fullest]:
        fullest = i
print(f"median bin {median}, fullest bin {fullest} with {hist[fullest]}, bin 0 with {hist[0]}")
