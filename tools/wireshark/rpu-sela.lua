-- Wireshark dissector for the link of the "РПУ Вельмар-КС-И" receivers
-- (Dorel-RPU-SELA), over Linux usbmon captures (link type 220).
--
-- The program writes a command frame one byte per transfer and a receiver
-- may answer one byte or a whole packet per transfer, so the bulk bytes of
-- each device are followed as two streams and every transfer is named by
-- what its bytes belong to: command frame (command, parameters, CRC),
-- block-write and block-read data (block number, data CRC), firmware header,
-- chunks and tail, and the answers with their meaning.
--
-- Use: copy into ~/.local/lib/wireshark/plugins/ (or run
-- tshark -X lua_script:rpu-sela.lua -r trace.pcapng). Filter: rpu
-- Fields: rpu.summary, rpu.element, rpu.cmd, rpu.p1, rpu.p2, rpu.crc_ok,
-- rpu.block, rpu.data_crc_ok, rpu.fw_chunk, rpu.version, rpu.accepted.

local rpu = Proto("rpu", "RPU-SELA receiver link")

local f = {
    summary = ProtoField.string("rpu.summary", "Summary"),
    element = ProtoField.string("rpu.element", "Element"),
    cmd = ProtoField.uint8("rpu.cmd", "Command", base.HEX),
    p1 = ProtoField.uint8("rpu.p1", "Parameter 1", base.HEX),
    p2 = ProtoField.uint8("rpu.p2", "Parameter 2", base.HEX),
    p3 = ProtoField.uint8("rpu.p3", "Parameter 3", base.HEX),
    crc = ProtoField.uint16("rpu.crc", "Frame CRC", base.HEX),
    crc_ok = ProtoField.bool("rpu.crc_ok", "Frame CRC good"),
    block = ProtoField.uint8("rpu.block", "Block"),
    data_crc = ProtoField.uint16("rpu.data_crc", "Data CRC", base.HEX),
    data_crc_ok = ProtoField.bool("rpu.data_crc_ok", "Data CRC good"),
    fw_type = ProtoField.uint8("rpu.fw_type", "Firmware type code", base.HEX),
    fw_version = ProtoField.uint8("rpu.fw_version", "Firmware version byte"),
    fw_chunk = ProtoField.uint16("rpu.fw_chunk", "Firmware chunk"),
    version = ProtoField.uint8("rpu.version", "Device version byte"),
    accepted = ProtoField.bool("rpu.accepted", "Accepted"),
}
rpu.fields = f

local usb_transfer_type = Field.new("usb.transfer_type")
local usb_urb_type = Field.new("usb.urb_type")
local usb_direction = Field.new("usb.endpoint_address.direction")
local usb_status = Field.new("usb.urb_status")
local usb_bus = Field.new("usb.bus_id")
local usb_device = Field.new("usb.device_address")
local usb_capdata = Field.new("usb.capdata")

-- Wireshark 4.0 runs Lua 5.2: no integer division or bit operators.
local function idiv(a, b) return math.floor(a / b) end

-- CRC-16/ARC: reflected 0xA001, initial 0, sent low byte first.
local function crc16(bytes, first, last)
    local crc = 0
    for i = first, last do
        local b = bytes[i]
        for _ = 1, 8 do
            if bit32.band(bit32.bxor(crc, b), 1) ~= 0 then
                crc = bit32.bxor(bit32.rshift(crc, 1), 0xA001)
            else
                crc = bit32.rshift(crc, 1)
            end
            b = bit32.rshift(b, 1)
        end
    end
    return crc
end

local function hex(bytes)
    local parts = {}
    for i = 1, #bytes do parts[#parts + 1] = string.format("%02X", bytes[i]) end
    return table.concat(parts, " ")
end

local function device_class(v)
    if v < 40 then return "relay and notification module (MRO)" end
    if v < 100 then return "RPU-SELA receiver" end
    return "receiver/repeater (RPU/RTR)"
end

-- Per device (bus.address): what the program is sending and what answer it waits for.
local devices = {}
-- Per frame number: what was found in it, computed on the first pass.
local results = {}

function rpu.init()
    devices = {}
    results = {}
end

local function new_device()
    return { mode = "frame", out = {}, expect = nil, inb = {} }
end

-- A finished 8-byte frame from the program.
local function command_frame(d, b, r)
    local cmd, p1, p2 = b[3], b[4], b[5]
    local crc = b[7] + 256 * b[8]
    local good = crc16(b, 1, 6) == crc
    local crc_text = string.format("CRC %04X %s", crc, good and "good" or "BAD")
    r.fields = { cmd = cmd, p1 = p1, p2 = p2, p3 = b[6], crc = crc, crc_ok = good }
    d.expect = nil
    if cmd == 0xA0 and p1 == 0x00 then
        r.summary = "Break link, " .. crc_text
    elseif cmd == 0xA0 or cmd == 0xAA then
        r.summary = string.format("Link initialisation 0x%02X (%s), parameter 0x%02X, %s", cmd,
            cmd == 0xA0 and "main page" or "backup and settings pages", p1, crc_text)
        d.expect = { kind = "init" }
    elseif cmd == 0x93 then
        r.summary = string.format("Read blocks: %d from block %d, %s", p1, p2, crc_text)
        d.expect = { kind = "read", count = p1, first = p2, n = 256 * p1 }
    elseif cmd == 0x94 then
        r.summary = string.format("Write blocks: %d from block %d, %s", p1, p2, crc_text)
        d.mode = "write"
        d.write = { count = p1, first = p2, n = 256 * p1, got = 0, bytes = {} }
    else
        -- Not a command: the first 8 bytes of a firmware image take the frame's place.
        r.element = "firmware header"
        r.summary = string.format("Firmware image: type code 0x%02X, version byte %d (%d_%d), header %s",
            cmd, p1, idiv(p1, 10), p1 % 10, hex(b))
        r.fields = { fw_type = cmd, fw_version = p1 }
        d.mode = "firmware"
        d.firmware = { chunks = 0, tail = 0 }
        d.expect = { kind = "verdict" }
        return
    end
    r.element = "command frame"
end

local function out_bytes(d, bytes, r)
    if d.mode == "firmware" then
        local fw = d.firmware
        r.element = "firmware"
        if #bytes == 64 then
            fw.chunks = fw.chunks + 1
            r.fields = { fw_chunk = fw.chunks }
            r.summary = string.format("Firmware chunk %d (image bytes %d..%d)", fw.chunks,
                8 + 64 * (fw.chunks - 1), 8 + 64 * fw.chunks - 1)
        else
            fw.tail = fw.tail + #bytes
            r.summary = string.format("Firmware tail byte %d: %s", fw.tail, hex(bytes))
        end
        return
    end
    if d.mode == "write" then
        local w = d.write
        local from = w.got
        for i = 1, #bytes do w.bytes[#w.bytes + 1] = bytes[i] end
        w.got = w.got + #bytes
        r.element = "block-write data"
        if w.got <= 2 then
            r.summary = string.format("Write data header byte %d: %s", w.got, hex(bytes))
        elseif w.got <= w.n + 2 then
            local offset = from - 2
            r.fields = { block = w.first + idiv(offset, 256) }
            r.summary = string.format("Write data: block %d, bytes %d..%d", w.first + idiv(offset, 256),
                offset % 256, offset % 256 + #bytes - 1)
        else
            r.summary = string.format("Write data CRC byte %d: %s", w.got - w.n - 2, hex(bytes))
        end
        if w.got >= w.n + 4 then
            local b = w.bytes
            local crc = b[w.n + 3] + 256 * b[w.n + 4]
            local good = crc16(b, 1, w.n + 2) == crc
            r.fields = { data_crc = crc, data_crc_ok = good }
            r.summary = string.format("Write data CRC %04X %s (%d blocks from %d)", crc,
                good and "good" or "BAD", w.count, w.first)
            d.mode = "frame"
            d.write = nil
            d.expect = { kind = "ack" }
        end
        return
    end
    local parts = {}
    for i = 1, #bytes do
        local b = bytes[i]
        if #d.out < 2 and b ~= 0x55 then
            d.out = {}
            parts[#parts + 1] = string.format("stray byte %02X", b)
        else
            d.out[#d.out + 1] = b
            if #d.out == 8 then
                local frame = d.out
                d.out = {}
                command_frame(d, frame, r)
                -- What follows in the same transfer belongs to the next phase.
                if i < #bytes then
                    local rest = {}
                    for j = i + 1, #bytes do rest[#rest + 1] = bytes[j] end
                    local r2 = {}
                    out_bytes(d, rest, r2)
                    r.summary = r.summary .. "; " .. (r2.summary or "")
                end
                return
            end
        end
    end
    r.element = "command frame"
    r.summary = string.format("Command frame byte %d of 8: %s", #d.out, hex(bytes))
    if #parts > 0 then r.summary = table.concat(parts, ", ") end
end

local function answer_frame(d, b, r)
    local crc = b[7] + 256 * b[8]
    local good = crc16(b, 1, 6) == crc
    local header = b[1] == 0x55 and b[2] == 0x55
    local kind = d.expect.kind
    r.element = "answer frame"
    r.fields = { crc = crc, crc_ok = good }
    local tail = string.format("%sCRC %04X %s", header and "" or "BAD HEADER, ", crc, good and "good" or "BAD")
    if kind == "init" then
        local v = b[4]
        r.fields.version = v
        r.summary = string.format("Answer: version %d_%d, %s; %s", idiv(v, 10), v % 10, device_class(v), tail)
    else
        local accepted = b[4] == 0
        r.fields.accepted = accepted
        local what = kind == "ack" and "block write" or "firmware"
        r.summary = string.format("Answer: %s %s (byte 3 = %d); %s", what,
            accepted and "accepted" or "REFUSED", b[4], tail)
        if kind == "verdict" then
            d.mode = "frame"
            d.firmware = nil
        end
    end
    d.expect = nil
end

local function in_bytes(d, bytes, r)
    local e = d.expect
    if not e then
        r.element = "unexpected"
        r.summary = "Bytes nobody asked for: " .. hex(bytes)
        return
    end
    if e.kind == "read" then
        e.got = e.got or 0
        e.bytes = e.bytes or {}
        local from = e.got
        for i = 1, #bytes do e.bytes[#e.bytes + 1] = bytes[i] end
        e.got = e.got + #bytes
        r.element = "block-read data"
        if e.got <= 2 then
            r.summary = string.format("Read data header byte %d: %s%s", e.got, hex(bytes),
                (e.got == 2 and not (e.bytes[1] == 0xAA and e.bytes[2] == 0xAA)) and " (BAD HEADER)" or "")
        elseif e.got <= e.n + 2 then
            local offset = math.max(from - 2, 0)
            r.fields = { block = e.first + idiv(offset, 256) }
            r.summary = string.format("Read data: block %d, bytes %d..%d", e.first + idiv(offset, 256),
                offset % 256, (e.got - 3) % 256)
        else
            r.summary = string.format("Read data CRC byte %d: %s", e.got - e.n - 2, hex(bytes))
        end
        if e.got >= e.n + 4 then
            local b = e.bytes
            local crc = b[e.n + 3] + 256 * b[e.n + 4]
            local good = crc16(b, 1, e.n + 2) == crc
            r.fields = { data_crc = crc, data_crc_ok = good }
            r.summary = string.format("Read data CRC %04X %s (%d blocks from %d)", crc, good and "good" or "BAD",
                e.count, e.first)
            d.expect = nil
        end
        return
    end
    for i = 1, #bytes do d.inb[#d.inb + 1] = bytes[i] end
    r.element = "answer frame"
    r.summary = string.format("Answer byte %d of 8: %s", #d.inb, hex(bytes))
    if #d.inb >= 8 then
        local frame = d.inb
        d.inb = {}
        answer_frame(d, frame, r)
    end
end

local function analyse(pinfo)
    local tt = usb_transfer_type()
    if not tt or tt.value ~= 3 then return nil end
    local urb = usb_urb_type()
    local event = urb and urb.value
    if type(event) == "number" then event = string.char(event) end
    local dir_in = usb_direction() and usb_direction().value == 1
    local key = tostring(usb_bus() and usb_bus().value) .. "." .. tostring(usb_device() and usb_device().value)
    local d = devices[key]
    if not d then
        d = new_device()
        devices[key] = d
    end
    local data = usb_capdata()
    local bytes = {}
    if data then
        local ba = data.range:bytes()
        for i = 0, ba:len() - 1 do bytes[#bytes + 1] = ba:get_index(i) end
    end
    local r = {}
    if dir_in and event == "C" then
        local status = usb_status() and usb_status().value or 0
        if #bytes > 0 then
            in_bytes(d, bytes, r)
        elseif status ~= 0 then
            if d.expect then
                r.element = "no answer"
                r.summary = string.format("No answer: the read ended with status %d", status)
                d.expect = nil
                d.inb = {}
                if d.mode == "firmware" then d.mode = "frame" end
            else
                r.element = "drain"
                r.summary = "Read pipe drained: nothing was waiting"
            end
        end
    elseif not dir_in and event == "S" and #bytes > 0 then
        out_bytes(d, bytes, r)
    end
    if not r.summary then return nil end
    return r
end

function rpu.dissector(tvb, pinfo, tree)
    local r
    if not pinfo.visited then
        r = analyse(pinfo)
        results[pinfo.number] = r or false
    else
        r = results[pinfo.number]
    end
    if not r then return end
    pinfo.cols.protocol = "RPU"
    pinfo.cols.info = r.summary
    local t = tree:add(rpu, tvb(0, 0), "RPU-SELA: " .. r.summary)
    t:add(f.summary, r.summary)
    if r.element then t:add(f.element, r.element) end
    for name, value in pairs(r.fields or {}) do
        t:add(f[name], value)
    end
end

register_postdissector(rpu)
