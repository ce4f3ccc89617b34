local n = tonumber(arg[1])
local x = 0
while x < n do
    x = x + 1
end
print("result: " .. x)
