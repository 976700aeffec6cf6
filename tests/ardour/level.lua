ardour {
	["type"]    = "dsp",
	name        = "Vantorel Test Level",
	category    = "Utility",
	license     = "GPLv3",
	author      = "Korvane",
	description = [[A held level of 0.5 on every output: a gate's edge is the whole signal]]
}

function dsp_ioconfig ()
	return { [1] = { audio_in = -1, audio_out = -1 }, }
end

function dsp_run (ins, outs, n_samples)
	local a = {}
	for s = 1, n_samples do
		a[s] = 0.5
	end
	for c = 1, #outs do
		outs[c]:set_table (a, n_samples)
	end
end
