local function encode(items)
    local parts = {}
    for k, item in ipairs(items) do
        parts[k] = string.format('(%d "%s" %d)', item[1], item[2], item[3])
    end
    return "(" .. table.concat(parts, " ") .. ")"
end

local function decode(text)
    local items = {}
    for i, t, d in text:gmatch('%((%d+) "([^"]*)" (%d+)%)') do
        items[#items + 1] = {tonumber(i), t, tonumber(d)}
    end
    return items
end

local function save(items)
    local f = assert(io.open("todo.txt", "w"))
    f:write(encode(items))
    f:close()
end

local function load()
    local f = assert(io.open("todo.txt", "r"))
    local text = f:read("a")
    f:close()
    return decode(text), text
end

local n = tonumber(arg[1])
local todo = {}
for i = 1, n do todo[i] = {i, "task number " .. i, 0} end
save(todo)
todo = load()
local done = 0
for _, item in ipairs(todo) do
    if item[1] % 3 == 0 then
        item[3] = 1
        done = done + 1
    end
end
save(todo)
todo = load()
local left = {}
for _, item in ipairs(todo) do
    if item[3] == 0 then left[#left + 1] = item end
end
save(left)
local _, saved = load()
print(string.format("result: items=%d done=%d left=%d bytes=%d first=%s", #todo, done, #left, #saved, left[1][2]:upper()))
