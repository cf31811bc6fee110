-- The Mandelbrot set on an 800 x 600 grid over -2..1 x -1.2..1.2: for every
-- point the iteration at which z escapes (|z|^2 > 4), or 100 when it does not
-- within 100 iterations; prints the sum.
local sum = 0
for py = 0, 599 do
    local cy = py * 0.004 - 1.2
    for px = 0, 799 do
        local cx = px * 0.00375 - 2
        local zx, zy = 0.0, 0.0
        local it = 100
        for k = 1, 100 do
            local t = zx * zx - zy * zy + cx
            zy = 2 * zx * zy + cy
            zx = t
            if zx * zx + zy * zy > 4 then
                it = k
                break
            end
        end
        sum = sum + it
    end
end
print("iterations: " .. sum)
