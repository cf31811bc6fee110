-- The sieve of Eratosthenes up to 300,000: one array element per number,
-- each multiple of a prime crossed out; prints how many primes there are
-- and the largest.
local n = 300000
local crossed = {}
for i = 0, n do crossed[i] = 0 end
local count, largest = 0, 0
for i = 2, n do
    if crossed[i] == 0 then
        count = count + 1
        largest = i
        if i * i <= n then
            for j = i * i, n, i do crossed[j] = 1 end
        end
    end
end
print("primes up to " .. n .. ": " .. count .. ", the largest " .. largest)
