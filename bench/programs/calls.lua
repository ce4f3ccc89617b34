local n = tonumber(arg[1])
local a = 3
local b = 4
local function f(x)
    return a + b + x
end
local t = 0
local i = 0
while i < n do
    t = t + f(i)
    i = i + 1
end
print("result: " .. t)
