local f = assert(io.open("input.txt", "r"))
local text = f:read("a")
f:close()
if text:sub(-1) == "\n" then text = text:sub(1, -2) end
text = text:lower():gsub("[%.,;:!%?]", " ")
local counts, keys, total = {}, {}, 0
for word in text:gmatch("%S+") do
    if counts[word] == nil then
        counts[word] = 0
        keys[#keys + 1] = word
    end
    counts[word] = counts[word] + 1
    total = total + 1
end
local values = {}
for i, k in ipairs(keys) do values[i] = counts[k] end
local top = ""
for _ = 1, 5 do
    local best, found = -1, 1
    for at, v in ipairs(values) do
        if v > best then best, found = v, at end
    end
    top = top .. " " .. keys[found] .. ":" .. best
    values[found] = -1
end
print("result: words=" .. total .. " distinct=" .. #keys .. " top=" .. top)
