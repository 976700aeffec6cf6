-- Drives Ardour headless (ardour7-lua, dummy backend) as a user would, in three runs:
--   VANTOREL_ARDOUR_STEP=create: a session with a mono track, a tone burst and Vantorel,
--     parameters set through the host, a WAV export, other values set, saved, closed;
--   VANTOREL_ARDOUR_STEP=latency: a session with a gated level through Vantorel, exported
--     without and with oversampling (the latency Vantorel reports, compensated by Ardour);
--   VANTOREL_ARDOUR_STEP=reopen: the session loaded again and Vantorel's nine values
--     written to reopened.txt;
--   VANTOREL_ARDOUR_STEP=lv2-create / lv2-reopen: the same export through Vantorel.lv2,
--     loaded with a user preset, and again after reopening its saved session.
-- The reopen runs in a second process: Ardour 7.3 hangs joining its process threads when
-- one luasession closes a session it has loaded after closing another.

local dir = assert (os.getenv ("VANTOREL_SESSION_DIR"), "VANTOREL_SESSION_DIR not set")
local step = assert (os.getenv ("VANTOREL_ARDOUR_STEP"), "VANTOREL_ARDOUR_STEP not set")
local rate = 48000
local name = "vantorel"
local lv2_uri = "https://korvane.example/plugins/vantorel"

-- Normalised (VST3) values, in the module's parameter order: delay, feedback, cutoff,
-- ishpf, panic, feedbackboost, onoff, mix, oversampling.
-- For the export: 0.25 s, 0.5, 4000 Hz, low-pass, panic off, no boost, on, dry + wet, 1x.
local exported = { (0.25 - 0.01) / 0.99, 0.5, 1.0, 0, 0, 1, 1, 1, 0 }
-- No feedback, dry + wet; then the same oversampled.
local aligned = { (0.25 - 0.01) / 0.99, 0, 1.0, 0, 0, 1, 1, 1, 0 }
local oversampled = { (0.25 - 0.01) / 0.99, 0, 1.0, 0, 0, 1, 1, 1, 1 }
-- Saved with the session: every value away from its default.
local saved = { (0.5 - 0.01) / 0.99, 0.25, 0.75, 1, 1, 0, 0, 1, 1 }

local function write_values (path, values)
	local f = assert (io.open (path, "w"))
	for i, v in ipairs (values) do f:write (string.format ("%d %.9f\n", i - 1, v)) end
	f:close ()
end

local function find_vantorel (session)
	for r in session:get_routes ():iter () do
		local i = 0
		while true do
			local proc = r:nth_plugin (i)
			if proc:isnil () then break end
			if proc:display_name () == "Vantorel" then return proc end
			i = i + 1
		end
	end
	return nil
end

local function set_all (plugin, values)
	for i, value in ipairs (values) do
		assert (ARDOUR.LuaAPI.set_processor_param (plugin, i - 1, value), "cannot set parameter " .. (i - 1))
	end
end

-- One second of the session as a WAV file in dir.
local function export (session, file)
	local e = session:simple_export ()
	e:set_range (0, rate)
	e:set_folder (dir)
	e:set_name (file)
	assert (e:set_preset ("75969a1c-3133-4694-864b-a1fa50e43348"), "no WAV export preset")
	assert (e:check_outputs (), "export has no outputs")
	assert (e:run_export (), "export failed")
end

-- The fader's automation (audio-time, sample-accurate) opens the track for 20 ms at 0.1 s.
-- It is shut at the start, so Vantorel hears silence while the transport stands there
-- before an export and starts with an empty delay line.
local function gate (track)
	local gain = track:gain_control ()
	local list = gain:alist ()
	list:add (Temporal.timepos_t (0), 0.0, false, false)
	list:add (Temporal.timepos_t (4799), 0.0, false, false)
	list:add (Temporal.timepos_t (4800), 1.0, false, false)
	list:add (Temporal.timepos_t (5760), 1.0, false, false)
	list:add (Temporal.timepos_t (5761), 0.0, false, false)
	list:add (Temporal.timepos_t (rate * 10), 0.0, false, false)
	gain:set_automation_state (ARDOUR.AutoState.Play)
end

assert (AudioEngine:set_backend ("None (Dummy)", "", ""), "no dummy backend")

if step == "create" then
	local s = assert (create_session (dir .. "/" .. name, name, rate), "could not create the session")

	local track = s:new_audio_track (1, 2, nil, 1, "echo", ARDOUR.PresentationInfo.max_order, ARDOUR.TrackMode.Normal, true):front ()

	-- Source: a 480 Hz sine at -6 dB, gated by the fader (the generator's own gain is
	-- smoothed too slowly) to a 20 ms burst at 0.1 s.
	local gen = ARDOUR.LuaAPI.new_luaproc (s, "SinGen")
	assert (not gen:isnil (), "no SinGen")
	track:add_processor_by_index (gen, 0, nil, true)
	ARDOUR.LuaAPI.set_processor_param (gen, 0, 480)
	ARDOUR.LuaAPI.set_processor_param (gen, 1, -6)
	gate (track)

	-- Vantorel after the fader, so it hears the burst.
	local v = ARDOUR.LuaAPI.new_plugin (s, "Vantorel", ARDOUR.PluginType.VST3, "")
	assert (not v:isnil (), "Vantorel not found: was the bundle scanned?")
	assert (track:add_processor_by_index (v, -1, nil, true) == 0, "cannot add Vantorel to the track")
	set_all (v, exported)

	-- One second: the burst and three repeats.
	export (s, "export")


	set_all (v, saved)
	write_values (dir .. "/saved.txt", saved)
	assert (s:save_state ("", false, false, false, false, false) == 0, "could not save the session")
	write_values (dir .. "/created.txt", {})
	close_session ()
elseif step == "latency" then
	-- A held level (the tone generator runs live, so only the fader's gate would be
	-- compensated; with a level the gate's edge is the whole signal), dry + wet, no
	-- feedback: once plain, once oversampled. The oversampler delays the whole output, and
	-- the latency the plug-in reports for it lets Ardour keep the dry edge on its own sample.
	local s = assert (create_session (dir .. "/latency", "latency", rate), "could not create the session")
	local track = s:new_audio_track (1, 2, nil, 1, "level", ARDOUR.PresentationInfo.max_order, ARDOUR.TrackMode.Normal, true):front ()
	local level = ARDOUR.LuaAPI.new_luaproc (s, "Vantorel Test Level")
	assert (not level:isnil (), "no level generator (run-ardour-test.sh installs it)")
	track:add_processor_by_index (level, 0, nil, true)
	gate (track)

	local v = ARDOUR.LuaAPI.new_plugin (s, "Vantorel", ARDOUR.PluginType.VST3, "")
	assert (not v:isnil (), "Vantorel not found: was the bundle scanned?")
	assert (track:add_processor_by_index (v, -1, nil, true) == 0, "cannot add Vantorel to the track")

	set_all (v, aligned)
	ARDOUR.LuaAPI.usleep (500000)
	export (s, "level")

	set_all (v, oversampled)
	ARDOUR.LuaAPI.usleep (1500000) -- the plug-in tells Ardour from its message thread
	local f = assert (io.open (dir .. "/latency.txt", "w"))
	f:write (string.format ("%d\n", v:signal_latency ()))
	f:close ()
	export (s, "level-oversampled")
	write_values (dir .. "/latency-done.txt", {})
	close_session ()
elseif step == "lv2-create" then
	-- The LV2 plug-in, found by its URI in LV2_PATH and loaded with the user preset
	-- run-ardour-test.sh saved (the settings of the VST3 export above), exported, saved.
	local s = assert (create_session (dir .. "/lv2", "lv2", rate), "could not create the LV2 session")
	local track = s:new_audio_track (1, 2, nil, 1, "echo", ARDOUR.PresentationInfo.max_order, ARDOUR.TrackMode.Normal, true):front ()
	local gen = ARDOUR.LuaAPI.new_luaproc (s, "SinGen")
	assert (not gen:isnil (), "no SinGen")
	track:add_processor_by_index (gen, 0, nil, true)
	ARDOUR.LuaAPI.set_processor_param (gen, 0, 480)
	ARDOUR.LuaAPI.set_processor_param (gen, 1, -6)
	gate (track)

	local v = ARDOUR.LuaAPI.new_plugin (s, lv2_uri, ARDOUR.PluginType.LV2, "Ardour test")
	assert (not v:isnil (), "Vantorel.lv2 not found: is it in LV2_PATH?")
	assert (track:add_processor_by_index (v, -1, nil, true) == 0, "cannot add Vantorel.lv2 to the track")
	local preset = v:to_insert ():plugin (0):last_preset ()
	assert (preset.label == "Ardour test", "the preset was not loaded (last preset '" .. tostring (preset.label) .. "')")
	for c = 0, 1 do track:output ():audio (c):connect ("Master/audio_in " .. (c + 1)) end

	export (s, "lv2-export")
	assert (s:save_state ("", false, false, false, false, false) == 0, "could not save the LV2 session")
	write_values (dir .. "/lv2-created.txt", {})
	close_session ()
elseif step == "lv2-reopen" then
	-- The saved session in a new process: the plug-in's state comes back from the session,
	-- and the export sounds as before.
	local s = assert (load_session (dir .. "/lv2", "lv2"), "could not reopen the LV2 session")
	assert (find_vantorel (s), "Vantorel.lv2 missing after reopening")
	export (s, "lv2-reopened")
	write_values (dir .. "/lv2-reopened-done.txt", {})
	close_session ()
elseif step == "reopen" then
	local s = assert (load_session (dir .. "/" .. name, name), "could not reopen the session")
	local v = assert (find_vantorel (s), "Vantorel missing after reopening")

	local values = {}
	for i = 1, 9 do
		local value, ok = ARDOUR.LuaAPI.get_processor_param (v, i - 1)
		values[i] = value
	end
	write_values (dir .. "/reopened.txt", values)
	close_session ()
else
	error ("unknown step " .. step)
end
