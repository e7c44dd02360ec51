-- The zk_data module under the stock lua5.4 interpreter: every format
-- encoded and decoded back, the options, and the nil, message, code results
-- of a failure. Run with LUA_CPATH pointing at the built zk_data.so.
local zk = require "zk_data"

local failures = 0

local function show(v)
  if type(v) ~= "table" then return string.format("%q", v) end
  local keys = {}
  for k in pairs(v) do keys[#keys + 1] = k end
  table.sort(keys, function(a, b) return tostring(a) < tostring(b) end)
  local parts = {}
  for _, k in ipairs(keys) do parts[#parts + 1] = "[" .. show(k) .. "]=" .. show(v[k]) end
  return "{" .. table.concat(parts, ",") .. "}"
end

local function check(ok, what)
  if not ok then
    failures = failures + 1
    io.stderr:write("FAIL ", debug.getinfo(2, "l").currentline, ": ", tostring(what), "\n")
  end
end

local function same(a, b)
  if type(a) ~= type(b) then return false end
  if type(a) ~= "table" then return a == b end
  for k, v in pairs(a) do
    if not same(v, b[k]) then return false end
  end
  for k in pairs(b) do
    if a[k] == nil then return false end
  end
  return true
end

local function hex(s)
  return (s:gsub(".", function(c) return string.format("%02X", c:byte()) end))
end

-- Encodes value, decodes the bytes and compares with expected (value itself
-- when absent); returns the bytes.
local function roundtrip(format, value, expected, options)
  local bytes, message = zk.encode(format, value, options)
  check(type(bytes) == "string", format .. " encode: " .. tostring(message))
  if type(bytes) ~= "string" then return nil end
  local back, used = zk.decode(format, bytes, options)
  check(same(back, expected or value), format .. " decode: " .. show(back))
  check(used == #bytes, format .. " used " .. tostring(used) .. " of " .. #bytes)
  return bytes
end

-- A failure is nil, an English message and the integer code.
local function fails(code, f, ...)
  local r = table.pack(f(...))
  check(r.n == 3 and r[1] == nil and type(r[2]) == "string" and #r[2] > 0
        and math.type(r[3]) == "integer" and r[3] == code,
        "expected failure " .. code .. ", got " .. show(r))
  return r[2]
end

-- JSON
check(roundtrip("json", {name = "abc", n = 5}), "json")
check(zk.encode("json", {n = 5}) == '{"n":5}', "json bytes")
check(zk.encode("json", {1, "two", {3}}) == '[1,"two",[3]]', "json list bytes")
roundtrip("json", {a = {1, 2, {b = "c"}}, s = "x y"})
roundtrip(3, {1, 2, 3})
check(same(zk.decode("json", '{"t":true,"f":false}'), {t = 1, f = 0}), "json booleans")
local value, used = zk.decode("json", '[1,2] trailing')
check(same(value, {1, 2}) and used == 5, "json stops after the value")
fails(25000021, zk.decode, "json", '[1,,2]')
fails(25000005, zk.decode, "json", '{"a":')
fails(20100007, zk.encode, "json", {'say "hi"'})

-- bencode
check(roundtrip("bencode", {1, "two", {x = 3}}) == "li1e3:twod1:xi3eee", "bencode bytes")
roundtrip("bencode", {"a\0b", -7})
check(same(zk.decode(2, "d1:ki-3ee"), {k = -3}), "bencode by id")

-- HTTP message
local request = {
  ["Request-Line"] = {Method = "POST", ["Request-URI"] = "/x", ["HTTP-Version"] = "HTTP/1.1"},
  Header = {Host = "example.org", ["Content-Length"] = "5"},
  Body = "hello",
}
local text = roundtrip("http", request)
check(text and text:find("^POST /x HTTP/1.1\r\n") and text:find("\r\n\r\nhello$"), "http text: " .. tostring(text))
local head, headUsed = zk.decode("http", text, {no_body = true})
check(head and head.Body == nil and headUsed == #text - 5, "http no_body: " .. show(head))
roundtrip("http", {["Status-Line"] = {["HTTP-Version"] = "HTTP/1.1", ["Status-Code"] = "404", ["Reason-Phrase"] = "Not Found"},
                   Header = {["Content-Length"] = "0"}})

-- INI: values come back as strings
local ini = roundtrip("ini", {server = {host = "h", port = 80}}, {server = {host = "h", port = "80"}})
check(ini and ini:find("^%[server%]\r\n"), "ini text")

-- binary: fields in byte-wise key order, one integer width for the record
local record = roundtrip("binary", {b = "ab", a = 1}, nil, {int_kind = "int32", template = {a = 0, b = ""}})
check(record and hex(record) == "0A00000001000000020000006162", "binary bytes")
check(hex(zk.encode("binary", {b = "ab", a = 1}, {int_kind = 5, big_endian = true})) == "0000000A00000001000000026162",
      "binary big-endian")
check(zk.encode("binary", 300, {int_kind = "uint8"}) == "\44", "binary uint8 keeps the low byte")
check(zk.decode("binary", "\255", {template = 0, int_kind = "int8"}) == -1, "binary int8")
check(zk.decode("binary", "\255", {template = 0, int_kind = "uint8"}) == 255, "binary uint8")
roundtrip(0, {1, 2, 3}, nil, {int_kind = "int16", template = {0}})
local hexed = zk.encode("binary", "0a1B", {hex_string = true})
check(hexed == "\2\0\0\0\10\27", "binary hex_string encode")
check((zk.decode("binary", hexed, {hex_string = true, template = ""}) or ""):lower() == "0a1b", "binary hex_string decode")
local withTail, tailUsed = zk.decode("binary", record .. "xyz", {int_kind = "int32", template = {a = 0, b = ""}})
check(same(withTail, {a = 1, b = "ab"}) and tailUsed == #record, "binary trailing bytes")
fails(20100001, zk.decode, "binary", record)  -- no template
fails(25000001, zk.encode, "binary", {a = 1})  -- no integer width

-- debug dump: written, never read
local dump = zk.encode("dump", {a = {1, 2}})
check(dump and dump:find("map size%(1%):") and dump:find("list size%(2%):"), "dump: " .. tostring(dump))
check(zk.encode(255, {a = {1, 2}}) == dump, "dump by id")
fails(20100001, zk.decode, "dump", "x")

-- XML, typed and free-form
roundtrip("xml", {a = {1, "x"}, b = "y"})
roundtrip(1, {a = "z"}, nil, {compact = true})
local doc = roundtrip("xml", {doc = {title = "t"}}, nil, {free_form = true, compact = true})
check(doc and doc:find("<doc><title>t</title></doc>", 1, true), "xml free form: " .. tostring(doc))
local gbk = roundtrip("xml", {doc = {title = "\u{4E2D}"}}, nil, {free_form = true, gbk = true})
check(gbk and gbk:find("\xD6\xD0", 1, true), "xml gbk: " .. tostring(gbk))
fails(20100001, zk.encode, "xml", {a = "x"}, {gbk = true})  -- GBK needs the free-form layout

-- the zkdata tool's short flag names are aliases of the same bits
local tree = {b = "ab", a = 1}
check(zk.encode("binary", tree, {int_kind = "int32", be = true}) ==
      zk.encode("binary", tree, {int_kind = "int32", big_endian = true}), "be is big_endian")
check(zk.encode("xml", {doc = {title = "t"}}, {free = true, compact = true}) ==
      zk.encode("xml", {doc = {title = "t"}}, {free_form = true, compact = true}), "free is free_form")
local bare = zk.decode("http", text, {nobody = true})
check(bare and bare.Body == nil and same(bare, head), "nobody is no_body: " .. show(bare))
local quads = {ip = 16777343, s = "a\nb"}
local long = zk.encode("dump", quads, {raw_string = true, dotted_quad = true, int_kind = "uint32"})
check(long and long:find("ip:127.0.0.1", 1, true) and long:find("s:a\nb", 1, true), "dump flags: " .. tostring(long))
check(zk.encode("dump", quads, {raw = true, quad = true, int_kind = "uint32"}) == long, "raw and quad")
check(zk.encode("binary", -2, {int_kind = "int"}) == "\254\255\255\255", "int is 32 bits")
check(zk.encode("binary", 4294967295, {int_kind = "uint"}) == "\255\255\255\255", "uint is 32 bits")
check(fails(20100001, zk.encode, "json", 1, {bigendian = true}):find("bigendian"), "no other spellings")

-- arguments that cannot be used
fails(20100001, zk.encode, "yaml", 1)
fails(20100001, zk.encode, 6, 1)
fails(20100001, zk.encode, 3.5, 1)
fails(20100001, zk.encode, nil, 1)
fails(20100001, zk.decode, "json", 5)
fails(20100001, zk.encode, "json", 1, "compact")
check(fails(20100001, zk.encode, "json", 1, {colour = true}):find("colour"), "names the unknown option")
fails(20100001, zk.encode, "json", 1, {int_kind = "int128"})
fails(20100001, zk.encode, "json", 1, {[1] = true})

-- values the bridge refuses
fails(25000001, zk.encode, "json", true)
fails(25000001, zk.encode, "json", {a = print})
fails(25000007, zk.encode, "json", {1, 2, x = 3})
fails(25000007, zk.encode, "json", {[2] = 5})
fails(20101003, zk.encode, "json", {[true] = 1})
fails(25000001, zk.encode, "json", {})  -- an empty table carries no type
fails(25000001, zk.decode, "ini", "")  -- nor does an empty INI text

-- depth: deep input fails cleanly in both directions
local deep = 1
for _ = 1, 100000 do deep = {deep} end
fails(25000001, zk.encode, "json", deep)
fails(25000021, zk.decode, "json", string.rep("[", 100000) .. string.rep("]", 100000))
local nested = 1
for _ = 1, 100 do nested = {nested} end
roundtrip("json", nested)

-- numbers: floats truncate toward zero, huge ones saturate
check(zk.encode("json", {3.9, -3.9, 0 / 0, math.huge, -math.huge}) ==
      "[3,-3,0,9223372036854775807,-9223372036854775808]", "json numbers")
check(zk.encode("json", math.maxinteger) == "9223372036854775807", "integers are exact")

if failures > 0 then error(failures .. " check(s) failed", 0) end
print("zk_data module: all checks passed")
