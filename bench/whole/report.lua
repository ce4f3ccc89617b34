local f = assert(io.open("app.log", "r"))
local text = f:read("a")
f:close()
if text:sub(-1) == "\n" then text = text:sub(1, -2) end
local levels, users, names, userCount = {}, {}, {}, 0
local longest, errors, count = "", 0, 0
for element in (text .. "\n"):gmatch("([^\n]*)\n") do
    local line = element:match("^%s*(.-)%s*$")
    local parts = {}
    for part in (line .. " "):gmatch("([^ ]*) ") do parts[#parts + 1] = part end
    local level, user = parts[3], parts[4]
    if levels[level] == nil then
        levels[level] = 0
        names[#names + 1] = level
    end
    levels[level] = levels[level] + 1
    if users[user] == nil then
        users[user] = 0
        userCount = userCount + 1
    end
    users[user] = users[user] + 1
    local message = table.concat(parts, " ", 5, math.min(#parts, 14))
    if #message > #longest then longest = message end
    if message:find("error", 1, true) then errors = errors + 1 end
    count = count + 1
end
table.sort(names)
local report = ""
for _, level in ipairs(names) do
    report = report .. level .. string.rep(".", 6 - #level) .. string.format("%6d", levels[level]) .. ";"
end
print(string.format("result: lines=%d users=%d errors=%d longest=%s report=%s", count, userCount, errors, longest:upper(), report))
