local function encode(value)
    if type(value) == "table" then
        local parts = {}
        for k, v in ipairs(value) do parts[k] = encode(v) end
        return "(" .. table.concat(parts, " ") .. ")"
    end
    if type(value) == "string" then return '"' .. value .. '"' end
    return tostring(value)
end

local function decode(text, i)
    local out = {}
    i = i + 1
    while true do
        local c = text:sub(i, i)
        if c == ")" then return out, i + 1 end
        if c == " " then
            i = i + 1
        elseif c == "(" then
            local inner
            inner, i = decode(text, i)
            out[#out + 1] = inner
        elseif c == '"' then
            local close = text:find('"', i + 1, true)
            out[#out + 1] = text:sub(i + 1, close - 1)
            i = close + 1
        else
            local stop = text:find("[ )]", i)
            local token = text:sub(i, stop - 1)
            out[#out + 1] = token:find(".", 1, true) and tonumber(token) + 0.0 or math.tointeger(tonumber(token))
            i = stop
        end
    end
end

local n, rounds = tonumber(arg[1]), tonumber(arg[2])
local records = {}
for i = 0, n - 1 do
    records[#records + 1] = {i, "name " .. i, {i * 2, i * 3}, i + 0.25 * (1 + i % 3)}
end
local coded = encode(records)
local same, back = 0, nil
for _ = 1, rounds do
    back = decode(coded, 1)
    if encode(back) == coded then same = same + 1 end
end
local total = 0.0
for _, record in ipairs(back) do total = total + record[3][2] + record[4] end
print(string.format("result: chars=%d records=%d sum=%.2f same=%d", #coded, #back, total, same))
