-- Lua's `s = s .. piece` copies the whole text on every append (quadratic:
-- minutes at the default size), so the text grows in a buffer table and is
-- joined once, which is how Lua code appends repeatedly.
local n = tonumber(arg[1])
local parts, k = {}, 0
local i = 0
while i < n do
    k = k + 1
    parts[k] = "abc "
    i = i + 4
end
local s = table.concat(parts)
local c = 0
for j = 1, #s do
    if s:sub(j, j) == "b" then
        c = c + 1
    end
end
print("result: " .. #s .. " " .. c)
