-- A histogram and its running totals: 4,194,304 values (a*a + b*b) % 256 for
-- a and b from 0 to 2047 counted in 256 bins, the cumulative counts summed,
-- then the median bin and the fullest bin found; prints them and the
-- count of bin 0.
local hist, cum = {}, {}
for i = 0, 255 do hist[i] = 0 end

for a = 0, 2047 do
    for b = 0, 2047 do
        local v = (a * a + b * b) % 256
        hist[v] = hist[v] + 1
    end
end

local running = 0
for i = 0, 255 do
    running = running + hist[i]
    cum[i] = running
end

local median, fullest = -1, 0
for i = 0, 255 do
    if median < 0 and cum[i] >= 2097152 then median = i end
    if hist[i] > hist[fullest] then fullest = i end
end
print("median bin " .. median .. ", fullest bin " .. fullest .. " with " .. hist[fullest] ..
      ", bin 0 with " .. hist[0])
