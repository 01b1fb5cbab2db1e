-- tsm.lua: a Wireshark dissector of the tsm rig's protocol, as the capture host (the HAL)
-- sees it: broadcast commands (UDP 8666), AWAKE and ALIVE (8570), preview pictures (8574),
-- the device shells (TCP 9000 + position), and what the devices send to the host's data
-- ports: status datagrams, camera centroid, track and greyscale data with their frame
-- trailers, and the sync unit's analogue data, analogue trailers and timecode.
--
-- Load it with "tshark -X lua_script:tsm.lua" or install it into a Lua plugin folder
-- ("tshark -G folders" names them). The ports follow tsmhost's defaults and can be changed
-- under Preferences > Protocols > TSM; datagrams on other ports are recognised by their
-- tags and length fields (heuristics). A datagram that does not hold what its tag or its
-- port promises is marked malformed; the dissector never reads past the bytes captured.

local tsm = Proto("tsm", "tsm motion-capture rig")

local BROADCAST_CODES = {
    [0x00010001] = { name = "SYNC", min = 8 },
    [0x00020001] = { name = "RESET", min = 8 },
    [0x00030005] = { name = "MASTER", min = 24 },
    [0x00040006] = { name = "AWAKE", min = 12 },
    [0x00050002] = { name = "PREVIEW", min = 12 },
    [0x00060007] = { name = "ALIVE_PING", min = 12 },
    [0x00070001] = { name = "FRAME_NUMBER", min = 8 },
    [0x00080001] = { name = "DATA_DISABLE", min = 8 },
    [0x00090001] = { name = "STROBE_DISABLE", min = 8 },
    [0x000A0001] = { name = "TEST_SYNC", min = 4 },
    [0x000B0001] = { name = "SYSTEM_EVENT", min = 8 },
}
local BROADCAST_NAMES = {}
for code, command in pairs(BROADCAST_CODES) do
    BROADCAST_NAMES[code] = "BROADCAST_CMD_" .. command.name
end

local CLASS_NAMES = { [0] = "camera", [2] = "control" }
local STATUS_NAMES = { [2] = "position", [3] = "sync status", [4] = "input status",
                       [5] = "timecode status" }
local STATUS_SIZES = { [2] = 24, [3] = 24, [4] = 28, [5] = 32 }
local STREAM_KINDS = { [0x00000002] = "centroids", [0x00010002] = "greyscale" }
local TIMECODE_STANDARDS = { [0x0000] = "PAL", [0x1000] = "30 fps", [0x2000] = "NTSC drop-frame",
                             [0x3000] = "film" }

local TAG_PREVIEW = 0xC000
local TAG_TRAILER = 0xC001
local TAG_EDGE = 0xC002
local TAG_TIMECODE = 0xC003
local TAG_ANALOGUE_TRAILER = 0xC005
local TAG_TRACK = 0xC006
local TAG_CENTROID = 0xC007
local TAG_SEGMENT = 0xC008
local TAG_DATAGRAM_HEADER = 0xC009
local TAG_SETTINGS = 0xE001
-- Prepared camera streams cut their bytes into datagrams of this size, so a record may end
-- in the next datagram.
local CUT_SIZE = 1400

local f = {}
local function field(key, maker, name, ...)
    f[key] = maker("tsm." .. key, name, ...)
end

-- Broadcast commands.
field("bcast.code", ProtoField.uint32, "Command", base.HEX, BROADCAST_NAMES)
field("bcast.device", ProtoField.uint32, "Device id", base.DEC_HEX)
field("bcast.frame", ProtoField.uint32, "Frame number", base.DEC)
field("bcast.flags", ProtoField.uint32, "Flags", base.HEX)
field("bcast.data_disabled", ProtoField.bool, "Data disabled", 32, nil, 0x1)
field("bcast.surrogate", ProtoField.bool, "Surrogate master", 32, nil, 0x1)
field("bcast.rate_hz", ProtoField.uint32, "Frame rate, whole hertz", base.DEC)
field("bcast.rate_milli", ProtoField.uint32, "Frame rate, thousandths", base.DEC)
field("bcast.rate", ProtoField.double, "Frame rate (Hz)")
field("bcast.preview_on", ProtoField.bool, "Preview on", 32, nil, 0x1)
field("bcast.event_type", ProtoField.uint32, "Event type", base.HEX)
field("bcast.word", ProtoField.uint32, "Word", base.HEX)
-- AWAKE and ALIVE.
field("disc.code", ProtoField.uint32, "Code", base.HEX, BROADCAST_NAMES)
field("disc.local_address", ProtoField.ipv4, "Device address")
field("disc.class", ProtoField.uint32, "Device class", base.DEC, CLASS_NAMES)
field("disc.position", ProtoField.uint32, "Position", base.DEC, nil, 0xFF000000)
field("disc.place_flags", ProtoField.uint32, "Flags", base.HEX, nil, 0x00FFFFFF)
field("disc.sequence", ProtoField.uint32, "Sequence", base.DEC, nil, 0xFFFF0000)
field("disc.hardware_address", ProtoField.bytes, "Hardware address", base.COLON)
field("disc.device", ProtoField.uint32, "Device id", base.DEC_HEX)
-- Preview.
field("preview.header_length", ProtoField.uint16, "Header length", base.DEC)
field("preview.device", ProtoField.uint32, "Device id", base.DEC_HEX)
field("preview.image", ProtoField.uint32, "Image count", base.DEC)
field("preview.pixel_count", ProtoField.uint32, "Pixels in this datagram", base.DEC)
field("preview.first_line", ProtoField.uint32, "First line of the block", base.DEC)
field("preview.width", ProtoField.uint16, "Width", base.DEC)
field("preview.height", ProtoField.uint16, "Height", base.DEC)
field("preview.offset", ProtoField.uint32, "Offset of the first pixel", base.DEC)
field("preview.pixels", ProtoField.bytes, "Pixels")
-- Shell.
field("shell.greeting", ProtoField.string, "Greeting")
field("shell.line", ProtoField.string, "Command line")
field("shell.command", ProtoField.string, "Command word")
field("shell.arguments", ProtoField.string, "Arguments")
field("shell.reply", ProtoField.string, "Reply")
field("shell.prompt", ProtoField.bool, "Prompt")
-- Device status datagrams.
field("status.type", ProtoField.uint16, "Type", base.DEC, STATUS_NAMES)
field("status.length", ProtoField.uint16, "Length", base.DEC)
field("status.version", ProtoField.uint16, "Version", base.DEC)
field("status.host_tag", ProtoField.uint16, "Host tag", base.DEC)
field("status.device", ProtoField.uint32, "Device id", base.DEC_HEX)
field("status.sync", ProtoField.uint32, "Sync status", base.HEX)
field("status.not_free_running", ProtoField.bool, "Not free-running", 32, nil, 0x1)
field("status.master", ProtoField.bool, "Master", 32, nil, 0x2)
field("status.slot", ProtoField.uint16, "Slot", base.DEC)
field("status.group", ProtoField.uint16, "Group", base.DEC)
field("status.frame", ProtoField.uint32, "Frame number", base.DEC)
field("status.inputs", ProtoField.uint16, "Input levels", base.HEX)
field("status.changed", ProtoField.uint16, "Changed input", base.HEX)
field("status.tc_value", ProtoField.uint32, "Timecode value", base.DEC)
field("status.tc_standard", ProtoField.uint32, "Timecode standard word", base.HEX)
-- Camera data: frame trailer, records and greyscale items.
field("trailer.length", ProtoField.uint16, "Length", base.DEC)
field("trailer.stream", ProtoField.uint32, "Stream kind", base.HEX, STREAM_KINDS)
field("trailer.device", ProtoField.uint32, "Device id", base.DEC_HEX)
field("trailer.frame", ProtoField.uint32, "Frame number", base.DEC)
field("trailer.byte_count", ProtoField.uint32, "Bytes before the trailer", base.DEC)
field("trailer.centroid_count", ProtoField.uint32, "Centroids", base.DEC)
field("trailer.previous_frame", ProtoField.uint32, "Previous frame number", base.DEC)
field("trailer.tracking", ProtoField.uint32, "Tracking", base.DEC)
field("centroid.count", ProtoField.uint32, "Centroid records in this datagram", base.DEC)
field("centroid.x", ProtoField.double, "X (pixels)")
field("centroid.y", ProtoField.double, "Y (pixels)")
field("centroid.radius", ProtoField.double, "Radius (pixels)")
field("centroid.fraction", ProtoField.double, "Fraction")
field("track.count", ProtoField.uint32, "Track records in this datagram", base.DEC)
field("track.position", ProtoField.uint16, "Centroid position", base.DEC)
field("track.length", ProtoField.uint16, "Length", base.DEC)
field("track.confidence", ProtoField.double, "Confidence")
field("track.id", ProtoField.int64, "Track id", base.DEC)
field("grey.index", ProtoField.uint16, "Datagram index", base.DEC)
field("grey.frame", ProtoField.uint32, "Frame number", base.DEC)
field("grey.payload", ProtoField.uint32, "Payload bytes before this datagram", base.DEC)
field("grey.device", ProtoField.uint32, "Device id", base.DEC_HEX)
field("grey.clock", ProtoField.uint32, "Clock rate (Hz)", base.DEC)
field("grey.frame_ticks", ProtoField.uint32, "Clock ticks per frame", base.DEC)
field("grey.frame_delta", ProtoField.uint16, "Previous minus frame number", base.HEX)
field("grey.flags", ProtoField.uint16, "Flags", base.HEX)
field("grey.last", ProtoField.bool, "Last datagram of the frame", 16, nil, 0x1)
field("grey.threshold", ProtoField.uint16, "Threshold", base.DEC)
field("grey.min_ratio", ProtoField.uint16, "Minimum ratio", base.DEC)
field("grey.max_pixels", ProtoField.uint16, "Most pixels per line", base.DEC)
field("grey.settings_flags", ProtoField.uint32, "Settings flags", base.HEX)
field("grey.blob", ProtoField.uint16, "Blob position", base.DEC, nil, 0x1FFF)
field("grey.blob_flag_zero", ProtoField.bool, "Blob flag 0", 16, nil, 0x2000)
field("grey.line", ProtoField.uint16, "Line", base.DEC)
field("grey.column", ProtoField.uint16, "Column", base.DEC)
field("grey.pixel_count", ProtoField.uint16, "Pixel count", base.DEC)
field("grey.pixels", ProtoField.bytes, "Pixels")
field("edge.line", ProtoField.uint16, "Line", base.DEC)
field("edge.column", ProtoField.uint16, "Column", base.DEC)
field("edge.coord2", ProtoField.uint16, "Third value", base.DEC)
field("continued", ProtoField.bytes, "Bytes of a record begun in the previous datagram")
field("continues", ProtoField.bytes, "Bytes of a record that ends in the next datagram")
-- Sync unit: analogue data and trailers, timecode.
field("analogue.count", ProtoField.uint32, "Samples", base.DEC)
field("analogue.sample", ProtoField.int16, "Sample", base.DEC)
field("analogue.slot", ProtoField.uint16, "Slot", base.DEC)
field("analogue.device", ProtoField.uint32, "Device id", base.DEC_HEX)
field("analogue.frame", ProtoField.uint32, "Frame number", base.DEC)
field("analogue.previous_frame", ProtoField.uint32, "Previous frame number", base.DEC)
field("analogue.total", ProtoField.uint32, "Running total", base.DEC)
field("analogue.instants", ProtoField.uint16, "Sample instants in this frame", base.DEC)
field("analogue.channels", ProtoField.uint16, "Enabled channels", base.DEC)
field("analogue.mask", ProtoField.uint64, "Enabled-channel mask", base.HEX)
field("analogue.data_bytes", ProtoField.uint32, "Data bytes before the trailer", base.DEC)
field("timecode.device", ProtoField.uint32, "Device id", base.DEC_HEX)
field("timecode.frame", ProtoField.uint32, "Frame number", base.DEC)
field("timecode.previous_frame", ProtoField.uint32, "Previous frame number", base.DEC)
field("timecode.text", ProtoField.string, "Timecode")
field("timecode.subframe", ProtoField.uint16, "System frame within the timecode frame", base.DEC,
      nil, 0x7FFF)
field("timecode.second_half", ProtoField.bool, "Past half of the timecode frame", 16, nil, 0x8000)
field("timecode.standard", ProtoField.uint16, "Standard", base.HEX, TIMECODE_STANDARDS, 0x3000)
field("timecode.per_frame", ProtoField.uint16, "System frames per timecode frame", base.DEC, nil,
      0x0FFF)
field("timecode.user_bits", ProtoField.uint32, "User bits", base.HEX)
-- Common.
field("tag", ProtoField.uint16, "Tag", base.HEX)
field("reserved", ProtoField.bytes, "Reserved")
field("data", ProtoField.bytes, "Data")

local fields = {}
for _, value in pairs(f) do
    fields[#fields + 1] = value
end
tsm.fields = fields

local ef_malformed = ProtoExpert.new("tsm.malformed", "Malformed tsm datagram",
                                     expert.group.MALFORMED, expert.severity.ERROR)
local ef_unknown = ProtoExpert.new("tsm.unknown", "Unknown tsm data", expert.group.UNDECODED,
                                   expert.severity.WARN)
tsm.experts = { ef_malformed, ef_unknown }

tsm.prefs.broadcast_port = Pref.uint("Broadcast command port", 8666,
                                     "UDP port of the HAL's broadcast commands")
tsm.prefs.discovery_port = Pref.uint("AWAKE and ALIVE port", 8570,
                                     "UDP port of the HAL that receives AWAKE and ALIVE")
tsm.prefs.preview_port = Pref.uint("Preview port", 8574, "UDP port of the HAL's preview pictures")
tsm.prefs.shell_base = Pref.uint("Shell port base", 9000,
                                 "A device's shell listens on this plus its position")
tsm.prefs.shell_count = Pref.uint("Shell ports", 100, "Positions whose shell port is decoded")
tsm.prefs.data_base = Pref.uint("Data port base", 20000,
                                "tsmhost run --data-port-base: device k gets base + 10 k")
tsm.prefs.data_blocks = Pref.uint("Data port blocks", 100,
                                  "Devices whose data ports are decoded (10 ports apart)")
tsm.prefs.heuristics = Pref.bool("Recognise datagrams on other ports", true,
                                 "Try the tags and length fields of datagrams on any UDP port")

-- Small helpers --------------------------------------------------------------------------

local function malformed(tree, text)
    tree:add_proto_expert_info(ef_malformed, text)
end

local function le16(tvb, offset)
    return tvb(offset, 2):le_uint()
end

local function le32(tvb, offset)
    return tvb(offset, 4):le_uint()
end

local function be32(tvb, offset)
    return tvb(offset, 4):uint()
end

local function set_info(pinfo, text)
    pinfo.cols.protocol = "TSM"
    pinfo.cols.info = text
end

local function append_info(pinfo, text)
    pinfo.cols.protocol = "TSM"
    pinfo.cols.info:append(text)
end

-- Broadcast commands (UDP 8666, big-endian words) -----------------------------------------

local function dissect_broadcast(tvb, pinfo, tree)
    local length = tvb:len()
    local subtree = tree:add(tsm, tvb(), "tsm broadcast command")
    if length < 4 then
        malformed(subtree, length .. " bytes: too short for a command code")
        set_info(pinfo, "Broadcast command, malformed")
        return
    end
    local code = be32(tvb, 0)
    subtree:add(f["bcast.code"], tvb(0, 4))
    local command = BROADCAST_CODES[code]
    if command == nil then
        -- The devices act on the family (the high half); say which one it would be.
        for known, entry in pairs(BROADCAST_CODES) do
            if bit.rshift(known, 16) == bit.rshift(code, 16) then
                command = { name = entry.name .. " (unexpected low half)", min = entry.min,
                            family = known }
            end
        end
    end
    local name = command and command.name or string.format("unknown code %08X", code)
    subtree:append_text(": " .. name)
    local info = "Broadcast " .. name
    if command and length < command.min then
        malformed(subtree, string.format("%s needs %d bytes, %d given", name, command.min, length))
        set_info(pinfo, info .. ", malformed")
        return
    end
    if length % 4 ~= 0 then
        malformed(subtree, length .. " bytes: not a whole number of 32-bit words")
    end
    local kind = command and (command.family or code) or nil
    local used = 4
    if kind == 0x00010001 or kind == 0x00070001 then
        subtree:add(f["bcast.frame"], tvb(4, 4))
        info = info .. " frame " .. be32(tvb, 4)
        used = 8
    elseif kind == 0x00020001 then
        subtree:add(f["bcast.device"], tvb(4, 4))
        info = info .. " device " .. be32(tvb, 4)
        used = 8
    elseif kind == 0x00030005 then
        subtree:add(f["bcast.device"], tvb(4, 4))
        local flags = subtree:add(f["bcast.flags"], tvb(8, 4))
        flags:add(f["bcast.surrogate"], tvb(8, 4))
        subtree:add(f["bcast.rate_hz"], tvb(12, 4))
        subtree:add(f["bcast.rate_milli"], tvb(16, 4))
        local rate = be32(tvb, 12) + be32(tvb, 16) / 1000.0
        subtree:add(f["bcast.rate"], tvb(12, 8), rate):set_generated()
        subtree:add(f["bcast.word"], tvb(20, 4)):append_text(" (not used)")
        info = string.format("%s device %d at %s Hz", info, be32(tvb, 4), tostring(rate))
        used = 24
    elseif kind == 0x00040006 or kind == 0x00060007 then
        subtree:add(f["bcast.word"], tvb(4, 4))
        subtree:add(f["bcast.device"], tvb(8, 4))
        info = info .. " device " .. be32(tvb, 8)
        used = 12
    elseif kind == 0x00050002 then
        subtree:add(f["bcast.device"], tvb(4, 4))
        subtree:add(f["bcast.preview_on"], tvb(8, 4))
        info = string.format("%s device %d %s", info, be32(tvb, 4),
                             bit.band(be32(tvb, 8), 1) == 1 and "on" or "off")
        used = 12
    elseif kind == 0x00080001 then
        local flags = subtree:add(f["bcast.flags"], tvb(4, 4))
        flags:add(f["bcast.data_disabled"], tvb(4, 4))
        info = string.format("%s flags 0x%08X", info, be32(tvb, 4))
        used = 8
    elseif kind == 0x00090001 then
        subtree:add(f["bcast.flags"], tvb(4, 4))
        info = string.format("%s flags 0x%08X", info, be32(tvb, 4))
        used = 8
    elseif kind == 0x000B0001 then
        subtree:add(f["bcast.event_type"], tvb(4, 4))
        info = string.format("%s type 0x%08X", info, be32(tvb, 4))
        used = 8
    end
    for offset = used, length - 4, 4 do
        subtree:add(f["bcast.word"], tvb(offset, 4))
    end
    set_info(pinfo, info)
end

-- AWAKE and ALIVE (UDP 8570, big-endian) ---------------------------------------------------

local function dissect_discovery(tvb, pinfo, tree)
    local length = tvb:len()
    local subtree = tree:add(tsm, tvb(), "tsm AWAKE/ALIVE")
    if length < 4 then
        malformed(subtree, length .. " bytes: too short for a code")
        set_info(pinfo, "AWAKE/ALIVE, malformed")
        return
    end
    local code = be32(tvb, 0)
    subtree:add(f["disc.code"], tvb(0, 4))
    local awake = code == 0x00040006
    local alive = code == 0x00060007
    if not awake and not alive then
        malformed(subtree, string.format("unknown code %08X", code))
        set_info(pinfo, "AWAKE/ALIVE, unknown code")
        return
    end
    local need = awake and 28 or 32
    local name = awake and "AWAKE" or "ALIVE"
    subtree:append_text(": " .. name)
    if length < need then
        malformed(subtree, string.format("%s needs %d bytes, %d given", name, need, length))
        set_info(pinfo, name .. ", malformed")
        return
    end
    subtree:add(f["disc.local_address"], tvb(4, 4))
    subtree:add(f["disc.class"], tvb(8, 4))
    local class = CLASS_NAMES[be32(tvb, 8)] or ("class " .. be32(tvb, 8))
    local device_offset = awake and 24 or 28
    local device = be32(tvb, device_offset)
    local info
    if awake then
        subtree:add(f["disc.position"], tvb(12, 4))
        subtree:add(f["disc.place_flags"], tvb(12, 4))
        info = string.format("AWAKE device %d (%s, position %d)", device, class,
                             bit.rshift(be32(tvb, 12), 24))
    else
        subtree:add(f["disc.sequence"], tvb(12, 4))
        info = string.format("ALIVE device %d (%s), sequence %d", device, class,
                             bit.rshift(be32(tvb, 12), 16))
    end
    subtree:add(f["disc.hardware_address"], tvb(16, 8))
    if alive then
        subtree:add(f["reserved"], tvb(24, 4))
    end
    subtree:add(f["disc.device"], tvb(device_offset, 4))
    if length > need then
        malformed(subtree, string.format("%d bytes after the %s datagram", length - need, name))
    end
    set_info(pinfo, info)
end

-- Preview pictures (UDP 8574, little-endian) -----------------------------------------------

local function dissect_preview(tvb, pinfo, tree)
    local length = tvb:len()
    local subtree = tree:add(tsm, tvb(), "tsm preview")
    if length < 36 or le16(tvb, 0) ~= TAG_PREVIEW then
        malformed(subtree, length .. " bytes without a preview header (tag 0xC000, 36 bytes)")
        set_info(pinfo, "Preview, malformed")
        return
    end
    subtree:add_le(f["tag"], tvb(0, 2))
    subtree:add_le(f["preview.header_length"], tvb(2, 2))
    subtree:add_le(f["reserved"], tvb(4, 4))
    subtree:add_le(f["preview.device"], tvb(8, 4))
    subtree:add_le(f["preview.image"], tvb(12, 4))
    subtree:add_le(f["preview.pixel_count"], tvb(16, 4))
    subtree:add_le(f["preview.first_line"], tvb(20, 4))
    subtree:add_le(f["reserved"], tvb(24, 4))
    subtree:add_le(f["preview.width"], tvb(28, 2))
    subtree:add_le(f["preview.height"], tvb(30, 2))
    subtree:add_le(f["preview.offset"], tvb(32, 4))
    local count = le32(tvb, 16)
    if count ~= length - 36 then
        malformed(subtree, string.format("%d pixels announced, %d present", count, length - 36))
    end
    if length > 36 then
        subtree:add(f["preview.pixels"], tvb(36))
    end
    set_info(pinfo, string.format("Preview device %d, image %d, %d pixels at %d", le32(tvb, 8),
                                  le32(tvb, 12), length - 36, le32(tvb, 32)))
end

-- Device status datagrams (on the data port + 1) -------------------------------------------

local function is_status(tvb)
    local length = tvb:len()
    if length < 12 then
        return false
    end
    local size = STATUS_SIZES[le16(tvb, 0)]
    return size ~= nil and le16(tvb, 2) == length and le16(tvb, 4) == 1
end

local function dissect_status(tvb, pinfo, tree)
    local length = tvb:len()
    local subtree = tree:add(tsm, tvb(), "tsm device status")
    if length < 12 then
        malformed(subtree, length .. " bytes: too short for a status header (12)")
        set_info(pinfo, "Status, malformed")
        return
    end
    local kind = le16(tvb, 0)
    subtree:add_le(f["status.type"], tvb(0, 2))
    subtree:add_le(f["status.length"], tvb(2, 2))
    subtree:add_le(f["status.version"], tvb(4, 2))
    subtree:add_le(f["status.host_tag"], tvb(6, 2))
    subtree:add_le(f["status.device"], tvb(8, 4))
    local name = STATUS_NAMES[kind] or ("type " .. kind)
    subtree:append_text(": " .. name)
    local info = string.format("Status %s, device %d", name, le32(tvb, 8))
    local size = STATUS_SIZES[kind]
    if size == nil then
        malformed(subtree, "unknown status type " .. kind)
        set_info(pinfo, info)
        return
    end
    if length ~= size or le16(tvb, 2) ~= size or le16(tvb, 4) ~= 1 then
        malformed(subtree, string.format("%s of %d bytes, length field %d, version %d; %d bytes "
                                         .. "of version 1 expected", name, length, le16(tvb, 2),
                                         le16(tvb, 4), size))
        if length < size then
            set_info(pinfo, info .. ", malformed")
            return
        end
    end
    if kind == 2 then
        subtree:add_le(f["status.slot"], tvb(12, 2))
        subtree:add_le(f["status.group"], tvb(14, 2))
        info = string.format("%s: slot %d, group %d", info, le16(tvb, 12), le16(tvb, 14))
        subtree:add(f["reserved"], tvb(16, 8))
    elseif kind == 3 then
        local sync = subtree:add_le(f["status.sync"], tvb(12, 4))
        sync:add_le(f["status.not_free_running"], tvb(12, 4))
        sync:add_le(f["status.master"], tvb(12, 4))
        local word = le32(tvb, 12)
        info = info .. (bit.band(word, 2) ~= 0 and ": master" or
                        (bit.band(word, 1) ~= 0 and ": slave" or ": free-running"))
        subtree:add(f["reserved"], tvb(16, 8))
    elseif kind == 4 then
        subtree:add_le(f["status.frame"], tvb(12, 4))
        subtree:add_le(f["status.inputs"], tvb(16, 2))
        subtree:add_le(f["status.changed"], tvb(18, 2))
        subtree:add(f["reserved"], tvb(20, 8))
        info = string.format("%s: frame %d, inputs 0x%02X, changed 0x%02X", info, le32(tvb, 12),
                             le16(tvb, 16), le16(tvb, 18))
    else
        subtree:add(f["reserved"], tvb(12, 12))
        subtree:add_le(f["status.tc_value"], tvb(24, 4))
        subtree:add_le(f["status.tc_standard"], tvb(28, 4))
        info = string.format("%s: standard 0x%08X", info, le32(tvb, 28))
    end
    set_info(pinfo, info)
end

-- Camera data: records, greyscale items and frame trailers ---------------------------------

local function add_trailer(tvb, offset, pinfo, tree)
    local subtree = tree:add(tsm, tvb(offset, 36), "Frame trailer")
    subtree:add_le(f["tag"], tvb(offset, 2))
    subtree:add_le(f["trailer.length"], tvb(offset + 2, 2))
    subtree:add_le(f["trailer.stream"], tvb(offset + 4, 4))
    subtree:add_le(f["trailer.device"], tvb(offset + 8, 4))
    subtree:add_le(f["trailer.frame"], tvb(offset + 12, 4))
    subtree:add_le(f["trailer.byte_count"], tvb(offset + 16, 4))
    subtree:add_le(f["trailer.centroid_count"], tvb(offset + 20, 4))
    subtree:add(f["reserved"], tvb(offset + 24, 4))
    subtree:add_le(f["trailer.previous_frame"], tvb(offset + 28, 4))
    subtree:add_le(f["trailer.tracking"], tvb(offset + 32, 4))
    local kind = STREAM_KINDS[le32(tvb, offset + 4)] or string.format("stream 0x%08X",
                                                                       le32(tvb, offset + 4))
    subtree:append_text(string.format(": %s, device %d, frame %d", kind, le32(tvb, offset + 8),
                                      le32(tvb, offset + 12)))
    if le16(tvb, offset + 2) ~= 36 then
        malformed(subtree, "trailer length field " .. le16(tvb, offset + 2) .. ", 36 expected")
    end
    return string.format("Trailer %s device %d frame %d, %d centroids, %d bytes", kind,
                         le32(tvb, offset + 8), le32(tvb, offset + 12), le32(tvb, offset + 20),
                         le32(tvb, offset + 16))
end

local function add_centroid(tvb, offset, tree)
    local subtree = tree:add(tsm, tvb(offset, 16), "Centroid")
    subtree:add_le(f["tag"], tvb(offset, 2))
    local x = tvb(offset + 4, 4):le_int() / 256.0
    local y = tvb(offset + 8, 4):le_int() / 256.0
    local radius = tvb(offset + 12, 4):le_int() / 256.0
    local fraction = le16(tvb, offset + 2) / 256.0
    subtree:add(f["centroid.fraction"], tvb(offset + 2, 2), fraction)
    subtree:add(f["centroid.x"], tvb(offset + 4, 4), x)
    subtree:add(f["centroid.y"], tvb(offset + 8, 4), y)
    subtree:add(f["centroid.radius"], tvb(offset + 12, 4), radius)
    subtree:append_text(string.format(": (%.3f, %.3f) r %.3f", x, y, radius))
end

local function add_track(tvb, offset, tree)
    local subtree = tree:add(tsm, tvb(offset, 16), "Track")
    subtree:add_le(f["tag"], tvb(offset, 2))
    subtree:add_le(f["track.position"], tvb(offset + 2, 2))
    subtree:add_le(f["track.length"], tvb(offset + 4, 2))
    subtree:add(f["track.confidence"], tvb(offset + 6, 2), le16(tvb, offset + 6) / 65535.0)
    local id = tvb(offset + 8, 8):le_int64()
    subtree:add(f["track.id"], tvb(offset + 8, 8), id)
    subtree:append_text(string.format(": centroid %d, id %s", le16(tvb, offset + 2),
                                      tostring(id)))
end

local function add_datagram_header(tvb, offset, tree)
    local subtree = tree:add(tsm, tvb(offset, 32), "Greyscale datagram header")
    subtree:add_le(f["tag"], tvb(offset, 2))
    subtree:add_le(f["grey.index"], tvb(offset + 2, 2))
    subtree:add_le(f["grey.frame"], tvb(offset + 4, 4))
    subtree:add_le(f["grey.payload"], tvb(offset + 8, 4))
    subtree:add_le(f["grey.device"], tvb(offset + 12, 4))
    subtree:add_le(f["grey.clock"], tvb(offset + 16, 4))
    subtree:add_le(f["grey.frame_ticks"], tvb(offset + 20, 4))
    subtree:add(f["reserved"], tvb(offset + 24, 2))
    subtree:add_le(f["grey.frame_delta"], tvb(offset + 26, 2))
    subtree:add(f["reserved"], tvb(offset + 28, 2))
    local flags = subtree:add_le(f["grey.flags"], tvb(offset + 30, 2))
    flags:add_le(f["grey.last"], tvb(offset + 30, 2))
    subtree:append_text(string.format(": device %d, frame %d, datagram %d%s",
                                      le32(tvb, offset + 12), le32(tvb, offset + 4),
                                      le16(tvb, offset + 2),
                                      bit.band(le16(tvb, offset + 30), 1) == 1 and ", last" or ""))
    return string.format("Greyscale device %d frame %d datagram %d", le32(tvb, offset + 12),
                         le32(tvb, offset + 4), le16(tvb, offset + 2))
end

local function add_settings(tvb, offset, tree)
    local subtree = tree:add(tsm, tvb(offset, 16), "Greyscale settings")
    subtree:add_le(f["tag"], tvb(offset, 2))
    subtree:add_le(f["trailer.length"], tvb(offset + 2, 2))
    subtree:add_le(f["grey.threshold"], tvb(offset + 4, 2))
    subtree:add_le(f["grey.min_ratio"], tvb(offset + 6, 2))
    subtree:add_le(f["grey.max_pixels"], tvb(offset + 8, 2))
    subtree:add(f["reserved"], tvb(offset + 10, 2))
    subtree:add_le(f["grey.settings_flags"], tvb(offset + 12, 4))
end

local function add_segment(tvb, offset, tree, word)
    local count = le16(tvb, offset + 6)
    local subtree = tree:add(tsm, tvb(offset, 8 + count), "Greyscale segment")
    if word == TAG_SEGMENT then
        subtree:add_le(f["tag"], tvb(offset, 2))
    else
        subtree:add_le(f["grey.blob"], tvb(offset, 2))
        subtree:add_le(f["grey.blob_flag_zero"], tvb(offset, 2))
    end
    subtree:add_le(f["grey.line"], tvb(offset + 2, 2))
    subtree:add_le(f["grey.column"], tvb(offset + 4, 2))
    subtree:add_le(f["grey.pixel_count"], tvb(offset + 6, 2))
    if count > 0 then
        subtree:add(f["grey.pixels"], tvb(offset + 8, count))
    end
    subtree:append_text(string.format(": line %d, column %d, %d pixels", le16(tvb, offset + 2),
                                      le16(tvb, offset + 4), count))
end

local function add_edge(tvb, offset, tree)
    local subtree = tree:add(tsm, tvb(offset, 8), "Edge")
    subtree:add_le(f["tag"], tvb(offset, 2))
    subtree:add_le(f["edge.line"], tvb(offset + 2, 2))
    subtree:add_le(f["edge.column"], tvb(offset + 4, 2))
    subtree:add_le(f["edge.coord2"], tvb(offset + 6, 2))
    subtree:append_text(string.format(": line %d, column %d, %d", le16(tvb, offset + 2),
                                      le16(tvb, offset + 4), le16(tvb, offset + 6)))
end

-- The size of the item that opens at `offset`, or nil when its first word is no item's.
-- Protocol-1 segments open with their blob word (bit 15 set) where `greyscale_v1` says so.
local function item_size(tvb, offset, greyscale_v1)
    local word = le16(tvb, offset)
    if word == TAG_CENTROID or word == TAG_TRACK or word == TAG_SETTINGS then
        return 16
    elseif word == TAG_TRAILER then
        return 36
    elseif word == TAG_DATAGRAM_HEADER then
        return 32
    elseif word == TAG_EDGE then
        return 8
    elseif word == TAG_SEGMENT or (greyscale_v1 and bit.band(word, 0x8000) ~= 0) then
        if tvb:len() - offset < 8 then
            return 8
        end
        return 8 + le16(tvb, offset + 6)
    end
    return nil
end

-- Where the first whole record of a centroid datagram opens: 0, or past the tail of a record
-- that the previous (full, 1400-byte) datagram cut.
local function first_record(tvb)
    local length = tvb:len()
    for offset = 0, math.min(15, length - 2) do
        local word = le16(tvb, offset)
        if word == TAG_CENTROID or word == TAG_TRACK or
            (word == TAG_TRAILER and length - offset == 36) then
            local next_at = offset + 16
            if word == TAG_TRAILER or next_at + 2 > length then
                return offset
            end
            local following = le16(tvb, next_at)
            if following == TAG_CENTROID or following == TAG_TRACK or following == TAG_TRAILER then
                return offset
            end
        end
    end
    return nil
end

-- Centroid and greyscale streams: one datagram of items.
local function dissect_items(tvb, pinfo, tree, greyscale_v1)
    local length = tvb:len()
    local subtree = tree:add(tsm, tvb(), "tsm camera data")
    local offset = 0
    if length >= 2 and item_size(tvb, 0, greyscale_v1) == nil and not greyscale_v1 then
        offset = first_record(tvb) or 0
        if offset > 0 then
            subtree:add(f["continued"], tvb(0, offset))
        end
    end
    local centroids, tracks, segments, edges = 0, 0, 0, 0
    local info = nil
    local centroid_items = nil
    while offset < length do
        if length - offset < 2 then
            subtree:add(f["continues"], tvb(offset))
            if length ~= CUT_SIZE then
                malformed(subtree, "a lone byte after the last item")
            end
            break
        end
        local word = le16(tvb, offset)
        local size = item_size(tvb, offset, greyscale_v1)
        if size == nil then
            subtree:add(f["data"], tvb(offset))
            malformed(subtree, string.format("no item opens with 0x%04X at byte %d", word, offset))
            info = (info or "Camera data") .. ", malformed"
            break
        end
        if length - offset < size then
            subtree:add(f["continues"], tvb(offset))
            if length ~= CUT_SIZE then
                malformed(subtree, string.format("item 0x%04X of %d bytes cut short at byte %d",
                                                 word, size, offset))
                info = (info or "Camera data") .. ", malformed"
            end
            break
        end
        if word == TAG_CENTROID then
            add_centroid(tvb, offset, subtree)
            centroids = centroids + 1
        elseif word == TAG_TRACK then
            add_track(tvb, offset, subtree)
            tracks = tracks + 1
        elseif word == TAG_TRAILER then
            local text = add_trailer(tvb, offset, pinfo, subtree)
            info = info and (info .. "; " .. text) or text
        elseif word == TAG_DATAGRAM_HEADER then
            info = add_datagram_header(tvb, offset, subtree)
        elseif word == TAG_SETTINGS then
            add_settings(tvb, offset, subtree)
        elseif word == TAG_EDGE then
            add_edge(tvb, offset, subtree)
            edges = edges + 1
        else
            add_segment(tvb, offset, subtree, word)
            segments = segments + 1
        end
        offset = offset + size
    end
    if centroids > 0 then
        subtree:add(f["centroid.count"], tvb(0, 0), centroids):set_generated()
    end
    if tracks > 0 then
        subtree:add(f["track.count"], tvb(0, 0), tracks):set_generated()
    end
    local parts = {}
    if centroids > 0 then parts[#parts + 1] = centroids .. " centroids" end
    if tracks > 0 then parts[#parts + 1] = tracks .. " tracks" end
    if segments > 0 then parts[#parts + 1] = segments .. " segments" end
    if edges > 0 then parts[#parts + 1] = edges .. " edges" end
    local counted = table.concat(parts, ", ")
    if info == nil then
        info = "Camera data" .. (counted ~= "" and ": " .. counted or
                                 (length == 0 and ", empty datagram" or ""))
    elseif counted ~= "" then
        info = info .. " (" .. counted .. ")"
    end
    set_info(pinfo, info)
end

-- Sync unit: analogue data, analogue trailers and timecode ---------------------------------

local function dissect_analogue_samples(tvb, pinfo, tree)
    local length = tvb:len()
    local subtree = tree:add(tsm, tvb(), "tsm analogue data")
    local count = math.floor(length / 2)
    subtree:add(f["analogue.count"], tvb(0, 0), count):set_generated()
    for offset = 0, count * 2 - 2, 2 do
        subtree:add_le(f["analogue.sample"], tvb(offset, 2))
    end
    if length % 2 ~= 0 then
        malformed(subtree, length .. " bytes: not a whole number of 16-bit samples")
    end
    if count > 700 then
        malformed(subtree, count .. " samples: more than 700 in one datagram")
    end
    set_info(pinfo, string.format("Analogue data, %d samples", count))
end

local function dissect_analogue_trailer(tvb, pinfo, tree)
    local length = tvb:len()
    local subtree = tree:add(tsm, tvb(), "tsm analogue frame trailer")
    if length < 44 then
        malformed(subtree, length .. " bytes: an analogue trailer has 44")
        set_info(pinfo, "Analogue trailer, malformed")
        return
    end
    subtree:add_le(f["tag"], tvb(0, 2))
    subtree:add_le(f["trailer.length"], tvb(2, 2))
    subtree:add_le(f["status.version"], tvb(4, 2))
    subtree:add_le(f["analogue.slot"], tvb(6, 2))
    subtree:add_le(f["analogue.device"], tvb(8, 4))
    subtree:add_le(f["analogue.frame"], tvb(12, 4))
    subtree:add_le(f["analogue.previous_frame"], tvb(16, 4))
    subtree:add_le(f["analogue.total"], tvb(20, 4))
    subtree:add_le(f["analogue.instants"], tvb(24, 2))
    subtree:add_le(f["analogue.channels"], tvb(26, 2))
    local mask = UInt64.new(le32(tvb, 28), le32(tvb, 32))
    subtree:add(f["analogue.mask"], tvb(28, 8), mask)
    subtree:add_le(f["analogue.data_bytes"], tvb(36, 4))
    subtree:add(f["reserved"], tvb(40, 4))
    if length ~= 44 or le16(tvb, 2) ~= 44 or le16(tvb, 4) ~= 1 then
        malformed(subtree, string.format("%d bytes, length field %d, version %d; 44 bytes of "
                                         .. "version 1 expected", length, le16(tvb, 2),
                                         le16(tvb, 4)))
    end
    set_info(pinfo, string.format("Analogue trailer device %d frame %d, %d instants of %d "
                                  .. "channels, %d bytes", le32(tvb, 8), le32(tvb, 12),
                                  le16(tvb, 24), le16(tvb, 26), le32(tvb, 36)))
end

local function bcd(byte)
    local tens, units = bit.rshift(byte, 4), bit.band(byte, 0x0F)
    if tens > 9 or units > 9 then
        return nil
    end
    return tens * 10 + units
end

local function dissect_timecode(tvb, pinfo, tree)
    local length = tvb:len()
    local subtree = tree:add(tsm, tvb(), "tsm timecode")
    if length < 40 then
        malformed(subtree, length .. " bytes: a timecode datagram has 40")
        set_info(pinfo, "Timecode, malformed")
        return
    end
    subtree:add_le(f["tag"], tvb(0, 2))
    subtree:add_le(f["trailer.length"], tvb(2, 2))
    subtree:add_le(f["status.version"], tvb(4, 2))
    subtree:add(f["reserved"], tvb(6, 2))
    subtree:add_le(f["timecode.device"], tvb(8, 4))
    subtree:add_le(f["timecode.frame"], tvb(12, 4))
    subtree:add_le(f["timecode.previous_frame"], tvb(16, 4))
    subtree:add(f["reserved"], tvb(20, 4))
    local parts = {}
    for i = 0, 3 do
        parts[i + 1] = bcd(tvb(24 + i, 1):uint())
    end
    local standard_word = le16(tvb, 30)
    local standard = bit.band(standard_word, 0x3000)
    local per_frame = bit.band(standard_word, 0x0FFF)
    local subframe = bit.band(le16(tvb, 28), 0x7FFF)
    local text
    if parts[1] and parts[2] and parts[3] and parts[4] then
        text = string.format("%02d:%02d:%02d%s%02d", parts[1], parts[2], parts[3],
                             standard == 0x2000 and ";" or ":", parts[4])
        if per_frame > 1 then
            text = text .. "." .. subframe
        end
        subtree:add(f["timecode.text"], tvb(24, 4), text)
    else
        malformed(subtree, "the timecode bytes are not two BCD digits each")
        text = "not BCD"
    end
    subtree:add_le(f["timecode.subframe"], tvb(28, 2))
    subtree:add_le(f["timecode.second_half"], tvb(28, 2))
    subtree:add_le(f["timecode.standard"], tvb(30, 2))
    subtree:add_le(f["timecode.per_frame"], tvb(30, 2))
    subtree:add_le(f["timecode.user_bits"], tvb(32, 4))
    subtree:add(f["reserved"], tvb(36, 4))
    subtree:append_text(": " .. text)
    if length ~= 40 or le16(tvb, 2) ~= 40 or le16(tvb, 4) ~= 2 then
        malformed(subtree, string.format("%d bytes, length field %d, version %d; 40 bytes of "
                                         .. "version 2 expected", length, le16(tvb, 2),
                                         le16(tvb, 4)))
    end
    set_info(pinfo, string.format("Timecode device %d frame %d: %s", le32(tvb, 8),
                                  le32(tvb, 12), text))
end

-- What the devices send to the host's data ports --------------------------------------------

-- The role of data port `port` under the preferences: "primary", "status", "greyscale",
-- "timecode", "analogue", "greyscale-v2", or nil.
local function data_role(port)
    local base, blocks = tsm.prefs.data_base, tsm.prefs.data_blocks
    local roles = { [0] = "primary", [1000] = "greyscale", [2000] = "timecode",
                    [3000] = "analogue", [5000] = "greyscale-v2" }
    for offset, role in pairs(roles) do
        local first = base + offset
        if port >= first and port < first + blocks * 10 then
            local within = (port - first) % 10
            if within == 0 then
                return role
            elseif within == 1 and offset == 0 then
                return "status"
            end
        end
    end
    return nil
end

-- What a data port was seen to carry ("camera" or "analogue"), from the trailers that
-- arrived on it so far: a port's headerless datagrams are then read accordingly.
local port_kinds = {}

function tsm.init()
    port_kinds = {}
end

-- Decodes a datagram by its content; `role` is the port's role when known. Returns false
-- when nothing in it is recognised (for the heuristics).
local function dissect_device_data(tvb, pinfo, tree, role)
    local length = tvb:len()
    local word = length >= 2 and le16(tvb, 0) or nil
    local second = length >= 4 and le16(tvb, 2) or nil
    if word == TAG_TRAILER and second == 36 and length == 36 then
        port_kinds[pinfo.dst_port] = "camera"
        dissect_items(tvb, pinfo, tree, false)
    elseif word == TAG_ANALOGUE_TRAILER and second == 44 then
        port_kinds[pinfo.dst_port] = "analogue"
        dissect_analogue_trailer(tvb, pinfo, tree)
    elseif word == TAG_TIMECODE and second == 40 then
        dissect_timecode(tvb, pinfo, tree)
    elseif is_status(tvb) or role == "status" then
        dissect_status(tvb, pinfo, tree)
    elseif word == TAG_DATAGRAM_HEADER or role == "greyscale-v2" then
        dissect_items(tvb, pinfo, tree, false)
    elseif word == TAG_CENTROID or word == TAG_TRACK or word == TAG_TRAILER then
        dissect_items(tvb, pinfo, tree, false)
    elseif role == "greyscale" then
        dissect_items(tvb, pinfo, tree, true)
    elseif word == TAG_SEGMENT or word == TAG_EDGE or word == TAG_SETTINGS then
        dissect_items(tvb, pinfo, tree, false)
    elseif role == "timecode" then
        dissect_timecode(tvb, pinfo, tree)
    elseif role == "analogue" then
        dissect_analogue_samples(tvb, pinfo, tree)
    elseif role == "primary" then
        -- A camera's centroid stream or an X1D sync unit's analogue data: records (perhaps
        -- continued from a cut datagram) tell them apart.
        local kind = port_kinds[pinfo.dst_port]
        if kind == "camera" or (kind == nil and length >= 2 and first_record(tvb) ~= nil) then
            dissect_items(tvb, pinfo, tree, false)
        else
            dissect_analogue_samples(tvb, pinfo, tree)
        end
    else
        return false
    end
    return true
end

-- The device shells (TCP 9000 + position, lines of text) -----------------------------------

local PROMPT = "\nQuorvent $"
local GREETING = "FakeZtDevice"

local function is_shell_port(port)
    local base = tsm.prefs.shell_base
    return port > base and port <= base + tsm.prefs.shell_count
end

local function dissect_shell(tvb, pinfo, tree)
    local length = tvb:len()
    local text = tvb():raw()
    local to_device = is_shell_port(pinfo.dst_port)
    pinfo.cols.protocol = "TSM"
    local subtree = tree:add(tsm, tvb(), "tsm device shell")
    if to_device then
        -- Host to device: one command per line; an unfinished line waits for its end.
        local offset = 0
        local commands = {}
        while offset < length do
            local newline = text:find("\n", offset + 1, true)
            if newline == nil then
                pinfo.desegment_offset = offset
                pinfo.desegment_len = DESEGMENT_ONE_MORE_SEGMENT
                break
            end
            local line = text:sub(offset + 1, newline)
            local trimmed = line:gsub("^[ \t\r\n]+", ""):gsub("[ \t\r\n]+$", "")
            local item = subtree:add(f["shell.line"], tvb(offset, newline - offset), trimmed)
            local command, arguments = trimmed:match("^(%S+)%s*(.*)$")
            if command then
                item:add(f["shell.command"], tvb(offset, newline - offset), command)
                if arguments ~= "" then
                    item:add(f["shell.arguments"], tvb(offset, newline - offset), arguments)
                end
            end
            commands[#commands + 1] = trimmed
            offset = newline
        end
        pinfo.cols.info = "Shell command: " .. table.concat(commands, " | ")
        return
    end
    -- Device to host: the greeting, or replies, each ended by the prompt.
    local offset = 0
    local replies = {}
    while offset < length do
        local prompt = text:find(PROMPT, offset + 1, true)
        if prompt == nil then
            pinfo.desegment_offset = offset
            pinfo.desegment_len = DESEGMENT_ONE_MORE_SEGMENT
            break
        end
        local body = text:sub(offset + 1, prompt - 1)
        local body_range = prompt - 1 > offset and tvb(offset, prompt - 1 - offset) or tvb(offset, 0)
        if body == GREETING then
            subtree:add(f["shell.greeting"], body_range, body)
            replies[#replies + 1] = "greeting " .. body
        else
            subtree:add(f["shell.reply"], body_range, body)
            replies[#replies + 1] = body == "" and "(prompt)" or
                                    body:gsub("\r?\n", " / "):sub(1, 120)
        end
        subtree:add(f["shell.prompt"], tvb(prompt - 1, #PROMPT), true)
        offset = prompt - 1 + #PROMPT
    end
    pinfo.cols.info = "Shell reply: " .. table.concat(replies, " | ")
end

-- Entry points -------------------------------------------------------------------------------

function tsm.dissector(tvb, pinfo, tree)
    if is_shell_port(pinfo.dst_port) or is_shell_port(pinfo.src_port) then
        dissect_shell(tvb, pinfo, tree)
        return tvb:len()
    end
    local dst, src = pinfo.dst_port, pinfo.src_port
    if dst == tsm.prefs.broadcast_port then
        dissect_broadcast(tvb, pinfo, tree)
    elseif dst == tsm.prefs.discovery_port then
        dissect_discovery(tvb, pinfo, tree)
    elseif dst == tsm.prefs.preview_port then
        dissect_preview(tvb, pinfo, tree)
    elseif not dissect_device_data(tvb, pinfo, tree, data_role(dst) or data_role(src)) then
        local subtree = tree:add(tsm, tvb(), "tsm data")
        subtree:add(f["data"], tvb())
        subtree:add_proto_expert_info(ef_unknown, "nothing of the rig's protocol recognised")
        set_info(pinfo, "Data, not recognised")
    end
    return tvb:len()
end

-- Datagrams on ports the preferences do not name.
local function heuristic(tvb, pinfo, tree)
    if not tsm.prefs.heuristics then
        return false
    end
    local length = tvb:len()
    if length >= 4 then
        local code = be32(tvb, 0)
        if (code == 0x00040006 and length == 28) or (code == 0x00060007 and length == 32) then
            dissect_discovery(tvb, pinfo, tree)
            return true
        end
        local command = BROADCAST_CODES[code]
        if command and length >= command.min and length % 4 == 0 and length <= 64 then
            dissect_broadcast(tvb, pinfo, tree)
            return true
        end
        local word, second = le16(tvb, 0), le16(tvb, 2)
        if word == TAG_PREVIEW and second == 36 and length >= 36 then
            dissect_preview(tvb, pinfo, tree)
            return true
        end
        local strong = (word == TAG_TRAILER and second == 36) or
                       (word == TAG_ANALOGUE_TRAILER and second == 44) or
                       (word == TAG_TIMECODE and second == 40) or is_status(tvb) or
                       (word == TAG_DATAGRAM_HEADER and length >= 32) or
                       ((word == TAG_CENTROID or word == TAG_TRACK) and length % 16 == 0)
        if strong then
            return dissect_device_data(tvb, pinfo, tree, nil)
        end
    end
    return false
end

local registered = {}

local function register_ports()
    local udp = DissectorTable.get("udp.port")
    local tcp = DissectorTable.get("tcp.port")
    for _, entry in ipairs(registered) do
        entry.table:remove(entry.pattern, tsm)
    end
    registered = {}
    local function add(tbl, pattern)
        tbl:add(pattern, tsm)
        registered[#registered + 1] = { table = tbl, pattern = pattern }
    end
    local p = tsm.prefs
    add(udp, p.broadcast_port)
    add(udp, p.discovery_port)
    add(udp, p.preview_port)
    if p.shell_count > 0 then
        add(tcp, string.format("%d-%d", p.shell_base + 1, p.shell_base + p.shell_count))
    end
    if p.data_blocks > 0 then
        for _, offset in ipairs({ 0, 1000, 2000, 3000, 5000 }) do
            local first = p.data_base + offset
            add(udp, string.format("%d-%d", first, first + p.data_blocks * 10 - 1))
        end
    end
end

tsm.prefs_changed = register_ports
register_ports()
tsm:register_heuristic("udp", heuristic)
