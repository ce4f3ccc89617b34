-- Lua has no Base64 codec of its own: a plain one, three bytes at a time.
local reps = tonumber(arg[1])
local chunk = "Base64 turns any bytes into text: 0123456789 ABCDEFGHIJKLMNOPQ!?"
local alphabet = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/"
local enc, dec = {}, {}
for i = 1, 64 do
  local c = alphabet:sub(i, i)
  enc[i - 1] = c
  dec[c:byte()] = i - 1
end

local function encode(s)
  local out, n = {}, #s
  local k = 0
  for i = 1, n - 2, 3 do
    local a, b, c = s:byte(i, i + 2)
    local v = a << 16 | b << 8 | c
    k = k + 1
    out[k] = enc[v >> 18] .. enc[v >> 12 & 63] .. enc[v >> 6 & 63] .. enc[v & 63]
  end
  local r = n % 3
  if r == 1 then
    local a = s:byte(n)
    k = k + 1
    out[k] = enc[a >> 2] .. enc[(a & 3) << 4] .. "=="
  elseif r == 2 then
    local a, b = s:byte(n - 1, n)
    k = k + 1
    out[k] = enc[a >> 2] .. enc[(a & 3) << 4 | b >> 4] .. enc[(b & 15) << 2] .. "="
  end
  return table.concat(out)
end

local function decode(s)
  local n = #s
  assert(n % 4 == 0, "size not divisible by 4")
  local out, k = {}, 0
  local char = string.char
  for i = 1, n, 4 do
    local a, b, c, d = s:byte(i, i + 3)
    local va, vb = dec[a], dec[b]
    if d ~= 61 then
      local v = va << 18 | vb << 12 | dec[c] << 6 | dec[d]
      k = k + 1
      out[k] = char(v >> 16, v >> 8 & 255, v & 255)
    elseif c ~= 61 then
      local v = va << 18 | vb << 12 | dec[c] << 6
      k = k + 1
      out[k] = char(v >> 16, v >> 8 & 255)
    else
      local v = va << 18 | vb << 12
      k = k + 1
      out[k] = char(v >> 16)
    end
  end
  return table.concat(out)
end

local data = chunk:rep(reps)
local coded = encode(data)
local back = decode(coded)
print("result: " .. #data .. " " .. #coded .. " " .. (back == data and 1 or 0))
