local f = assert(io.open("data.csv", "r"))
local text = f:read("a")
f:close()
if text:sub(-1) == "\n" then text = text:sub(1, -2) end
local count, qty, total, low, high = 0, 0, 0.0, 0.0, 0.0
local sums, order = {}, {}
local first = true
for row in (text .. "\n"):gmatch("([^\n]*)\n") do
    if not first then
        local fields = {}
        for field in (row .. ","):gmatch("([^,]*),") do fields[#fields + 1] = field end
        local city, amount, units = fields[3], tonumber(fields[4]) + 0.0, math.tointeger(tonumber(fields[5]))
        total = total + amount
        qty = qty + units
        if sums[city] == nil then
            sums[city] = 0.0
            order[#order + 1] = city
        end
        sums[city] = sums[city] + amount
        if count == 0 or amount < low then low = amount end
        if count == 0 or amount > high then high = amount end
        count = count + 1
    end
    first = false
end
local best, most = "", -1.0
for _, city in ipairs(order) do
    if sums[city] > most then best, most = city, sums[city] end
end
print(string.format("result: rows=%d qty=%d total=%.2f min=%.2f max=%.2f cities=%d top=%s:%.2f",
    count, qty, total, low, high, #order, best, most))
