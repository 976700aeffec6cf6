#!/usr/bin/env bash
# Instructions per stereo frame of TemplateAudioProcessor::processBlock (and so of
# DelayEngine::process), counted by callgrind for each case of the benchmark.
#
# Each case runs twice, with 100 and with 300 measured blocks of 512 frames; only
# processBlock is counted, and the difference of the two counts divided by 200 x 512
# frames leaves out the set-up and the warm-up.
#
# Usage: bench/callgrind.sh [path/to/vantorel_bench]
set -euo pipefail

bench=${1:-build/bench/vantorel_bench}
short=100
long=300

count() {
    valgrind --tool=callgrind --callgrind-out-file=/dev/null \
             --collect-atstart=no --toggle-collect='TemplateAudioProcessor::processBlock*' \
             "$bench" --count="$1,$2,$3,$4" 2>&1 \
        | sed -n 's/.*Collected : \([0-9]*\).*/\1/p'
}

printf '%-8s %-13s %-8s %s\n' rate oversampling ramping instructions/frame
for rate in 44100 48000; do
    for oversampling in 0 1; do
        for ramping in 0 1; do
            a=$(count "$rate" "$oversampling" "$ramping" "$short")
            b=$(count "$rate" "$oversampling" "$ramping" "$long")
            perFrame=$(( (b - a) / ((long - short) * 512) ))
            printf '%-8s %-13s %-8s %s\n' "$rate" "$oversampling" "$ramping" "$perFrame"
        done
    done
done
