-- Vantor.lv2 in a headless Ardour session, run by ardour_test.sh with ardour7-lua, one process
-- per step:   ardour7-lua ardour_session.lua create|play|reopen SESSION_FOLDER EXPORT_FOLDER
-- create: a MIDI track with the instrument, a preset chosen by name, a region of two notes.
-- play: exports of the session range, measured from the written WAV files, before and after a
-- program change sent straight to the plug-in; saved. reopen: the saved session exported again.
-- Ardour 7.3 exports only from a session it loaded (from one it has just built, or after a
-- second one in one process, it crashes), and its teardown can abort after an export (heap
-- damage in its export channels, with its own synth as well): each step prints "passed" before
-- closing the session, and the test goes by that.
local step, folder, out = arg[1], arg[2], arg[3]
local uri = "https://www.brenwick.example/lv2/vantor"
local rate = 48000
local wav_preset = "75969a1c-3133-4694-864b-a1fa50e43348" -- Ardour's "WAV @ session-rate", 16 bit

local function check(ok, what)
  if not ok then error("FAILED: " .. what, 2) end
  print("ok: " .. what)
end

-- The session range (two seconds at 120 BPM) as a 16-bit WAV file, read back as the channels'
-- mix (for pitch) and the louder channel's level (the ensemble's channels can cancel in a mix).
local function export(session, name)
  local e = session:simple_export()
  e:set_folder(out)
  e:set_name(name)
  e:set_range(0, 2 * rate)
  e:set_preset(wav_preset)
  check(e:run_export(), "Ardour exported " .. name)
  local f = assert(io.open(out .. "/" .. name .. ".wav", "rb"))
  local bytes = f:read("a")
  f:close()
  local pos, mix, level = 13, {}, {}
  while pos < #bytes do
    local id, size = string.unpack("<c4I4", bytes, pos)
    if id == "fmt " then
      local format, channels, _, _, _, bits = string.unpack("<I2I2I4I4I2I2", bytes, pos + 8)
      check(format == 1 and channels == 2 and bits == 16, name .. ": 16-bit stereo PCM")
    elseif id == "data" then
      for at = pos + 8, pos + 4 + size, 4 do
        local l, r = string.unpack("<i2i2", bytes, at)
        mix[#mix + 1], level[#level + 1] = (l + r) / 65536, math.max(math.abs(l), math.abs(r)) / 32768
      end
    end
    pos = pos + 8 + size + size % 2
  end
  check(#mix == 2 * rate, name .. ": two seconds")
  return {mix = mix, level = level}
end

local function peak(x, from, to)
  local p = 0
  for i = math.floor(from * rate) + 1, math.floor(to * rate) do p = math.max(p, x.level[i]) end
  return p
end

-- The fundamental over [from, from + 0.2 s), through the vibrato: the shortest period (100 to
-- 1000 Hz) whose normalised autocorrelation comes within 5% of the best one, refined by a parabola.
local function pitch(audio, from)
  local x, n, s = audio.mix, rate // 5, math.floor(from * rate)
  local function r(lag)
    local xy, xx, yy = 0, 0, 0
    for i = s + 1, s + n do
      local a, b = x[i], x[i + lag]
      xy, xx, yy = xy + a * b, xx + a * a, yy + b * b
    end
    return xy / math.sqrt(xx * yy + 1e-30)
  end
  local rs, best = {}, -1
  for lag = rate // 1000, rate // 100 do
    rs[lag] = r(lag)
    best = math.max(best, rs[lag])
  end
  for lag = rate // 1000 + 1, rate // 100 - 1 do
    if rs[lag] >= 0.95 * best and rs[lag] >= rs[lag - 1] and rs[lag] >= rs[lag + 1] then
      local a, b, c = rs[lag - 1], rs[lag], rs[lag + 1]
      local shift = 0.5 * (a - c) / (a - 2 * b + c)
      return rate / (lag + shift)
    end
  end
  return 0
end

local function near(value, expected, tolerance)
  return math.abs(value - expected) <= tolerance * expected
end

-- "Mono: Sine Solo" playing the region's A4 (0.5 to 1 s) and E5 (1 to 1.5 s): silent until
-- the first note, at half its peak within 100 ms of it, at both pitches, silent after the release.
local function is_sine_solo(x, name)
  check(peak(x, 0, 0.5) < 0.001, name .. ": silent before the first note")
  local full = peak(x, 0.5, 2)
  check(full > 0.05 and full < 0.9, string.format("%s: peak %.3f", name, full))
  check(peak(x, 0.5, 0.6) > 0.5 * full, name .. ": sounds at once")
  local a4, e5 = pitch(x, 0.7), pitch(x, 1.2)
  check(near(a4, 440, 0.03), string.format("%s: A4 at %.1f Hz", name, a4))
  check(near(e5, 659.26, 0.03), string.format("%s: E5 at %.1f Hz", name, e5))
  check(peak(x, 1.9, 2) < 0.001, name .. ": silent after the release")
end

-- "Pad: Woash": a swell still below a quarter of its peak 50 ms into the note.
local function is_slow_pad(x, name)
  local full = peak(x, 0.5, 2)
  check(full > 0.05 and peak(x, 0.5, 0.55) < 0.25 * full, name .. ": a slow pad")
end

local function send_midi(insert, bytes)
  local parser = ARDOUR.RawMidiParser()
  for _, b in ipairs(bytes) do parser:process_byte(b) end
  insert:write_immediate_event(Evoral.EventType.MIDI_EVENT, parser:buffer_size(), parser:midi_buffer())
  -- The plug-in runs while the transport stands still: a few cycles deliver the event.
  check(ARDOUR.LuaAPI.wait_for_process_callback(8, 60000), "the engine ran the event")
end

local function instrument(session)
  local track = session:route_by_name("Vantor"):to_track()
  return track, track:the_instrument():to_insert()
end

local steps = {}

function steps.create()
  local session = create_session(folder, "vantor", rate)
  check(session, "Ardour created a session")
  local info = ARDOUR.LuaAPI.new_plugin_info(uri, ARDOUR.PluginType.LV2)
  check(not info:isnil(), "Ardour lists Vantor.lv2")
  check(info:get_presets(false):size() == 64, "Ardour lists 64 presets")
  local midi, audio = ARDOUR.DataType("midi"), ARDOUR.DataType("audio")
  session:new_midi_track(ARDOUR.ChanCount(midi, 1), ARDOUR.ChanCount(audio, 2), true, info, nil,
                         nil, 1, "Vantor", ARDOUR.PresentationInfo.max_order,
                         ARDOUR.TrackMode.Normal, true)
  local track, insert = instrument(session)
  local plugin = insert:plugin(0)
  check(plugin:name() == "Vantor" and plugin:get_info().n_outputs:n_audio() == 2,
        "the track holds Vantor with two audio outputs")
  check(plugin:load_preset(plugin:preset_by_label("Mono: Sine Solo")), "the preset loaded by name")
  -- Bouncing the empty track gives an empty MIDI region to write the notes into.
  local region = track:bounce_range(0, 2 * rate, ARDOUR.InterThreadInfo(),
                                    ARDOUR.LuaAPI.nil_proc(), false, "notes")
  local model = region:to_midiregion():model()
  local notes = model:new_note_diff_command("notes")
  notes:add(ARDOUR.LuaAPI.new_noteptr(1, Temporal.Beats(1, 0), Temporal.Beats(1, 0), 69, 100))
  notes:add(ARDOUR.LuaAPI.new_noteptr(1, Temporal.Beats(2, 0), Temporal.Beats(1, 0), 76, 100))
  model:apply_command(session, notes)
  track:playlist():add_region(region, Temporal.timepos_t(0), 1, false)
  check(session:save_state("") == 0, "Ardour saved the session")
end

function steps.play()
  local session = load_session(folder, "vantor")
  check(session, "Ardour opened the session")
  local _, insert = instrument(session)
  is_sine_solo(export(session, "preset"), "the preset")
  -- Program 20 becomes current; slot 0 keeps the preset. Ardour's ports still hold the
  -- preset's values, and reopening must not let them override the program the state names.
  send_midi(insert, {0xC0, 20})
  is_slow_pad(export(session, "program-20"), "program 20")
  check(session:save_state("") == 0, "Ardour saved the session")
end

function steps.reopen()
  local session = load_session(folder, "vantor")
  check(session, "Ardour reopened the session")
  local _, insert = instrument(session)
  is_slow_pad(export(session, "reopened"), "the reopened session's current program 20")
  send_midi(insert, {0xC0, 0})
  is_sine_solo(export(session, "reopened-slot-0"), "slot 0 of the reopened session")
end

-- Ardour's dummy backend: no sound card, nothing outside the test's folders.
AudioEngine:set_backend("None (Dummy)", "", "")
steps[step]()
print("passed: " .. step)
-- Ardour's objects must be gone before their session is.
collectgarbage()
close_session()
