local n = tonumber(arg[1])
local L = {}
local i = 0
while i < n do
    L[#L + 1] = i
    i = i + 1
end
local t = 0
for _, e in ipairs(L) do
    t = t + e
end
local p = -1
local want = n - 3
for j = 1, #L do
    if L[j] == want then
        p = j - 1
        break
    end
end
print("result: " .. #L .. " " .. t .. " " .. p)
