-- VORN's list text: (1 "item1" 2 ...), texts in double quotes, numbers bare.
local function encode(items)
    local parts = {}
    for k, e in ipairs(items) do
        if type(e) == "string" then
            parts[k] = '"' .. e .. '"'
        else
            parts[k] = tostring(e)
        end
    end
    return "(" .. table.concat(parts, " ") .. ")"
end

local function decode(text)
    local out, k = {}, 0
    local p, last = 2, #text - 1
    while p <= last do
        local stop
        if text:byte(p) == 34 then
            stop = text:find('"', p + 1, true)
            k = k + 1
            out[k] = text:sub(p + 1, stop - 1)
        else
            stop = (text:find(" ", p, true) or last + 1) - 1
            k = k + 1
            out[k] = math.tointeger(tonumber(text:sub(p, stop)))
        end
        p = stop + 2
    end
    return out
end

local n, rounds = tonumber(arg[1]), tonumber(arg[2])
local items = {}
local i = 0
while i < n do
    items[#items + 1] = i
    items[#items + 1] = "item" .. i
    i = i + 2
end
local ok = 0
local coded, back
for _ = 1, rounds do
    coded = encode(items)
    back = decode(coded)
    local again = encode(back)
    if again == coded then
        ok = ok + 1
    end
end
print("result: " .. #coded .. " " .. #back .. " " .. ok)
