local Counter = {}
Counter.__index = Counter

function Counter.new()
    return setmetatable({ n = 0 }, Counter)
end

function Counter:bump(d)
    self.n = self.n + d
end

local k, m = tonumber(arg[1]), tonumber(arg[2])
local objs = {}
local i = 0
while i < k do
    objs[#objs + 1] = Counter.new()
    i = i + 1
end
local r = 0
local calls = 0
while calls < m do
    r = r + 1
    for _, o in ipairs(objs) do
        o:bump(r)
    end
    calls = calls + k
end
local t = 0
for _, o in ipairs(objs) do
    t = t + o.n
end
print("result: " .. calls .. " " .. t)
