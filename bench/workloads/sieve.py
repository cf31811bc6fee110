"""The sieve of Eratosthenes up to 300,000: one array element per number, each
multiple of a prime crossed out; prints how many primes there are and the
largest."""
n = 300000
crossed = [0] * (n + 1)
count, largest = 0, 0
for i in range(2, n + 1):
    if crossed[i] == 0:
        count = count + 1
        largest = i
        if i * i <= n:
            for j in range(i * i, n + 1, i):
                crossed[j] = 1
print(f"primes up to {n}: {count}, the largest {largest}")
