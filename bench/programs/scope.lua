-- As calls.lua, with 40 more variables in the caller.
local n = tonumber(arg[1])
local a = 3
local b = 4
local v0 = 0
local v1 = 1
local v2 = 2
local v3 = 3
local v4 = 4
local v5 = 5
local v6 = 6
local v7 = 7
local v8 = 8
local v9 = 9
local v10 = 10
local v11 = 11
local v12 = 12
local v13 = 13
local v14 = 14
local v15 = 15
local v16 = 16
local v17 = 17
local v18 = 18
local v19 = 19
local v20 = 20
local v21 = 21
local v22 = 22
local v23 = 23
local v24 = 24
local v25 = 25
local v26 = 26
local v27 = 27
local v28 = 28
local v29 = 29
local v30 = 30
local v31 = 31
local v32 = 32
local v33 = 33
local v34 = 34
local v35 = 35
local v36 = 36
local v37 = 37
local v38 = 38
local v39 = 39
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
