#!/usr/bin/env bash
# What the real viewer costs at its defaults on Xvfb with a 440 Hz tone: the whole process's
# processor time (every thread, SDL's and the sound library's included) as a share of one core,
# and its resident memory, over a span after start-up.
#   kavrel_cost.sh KAVREL [SECONDS [CPU_PERCENT_LIMIT [RESIDENT_MB_LIMIT]]]
# Prints both figures; fails when a limit is given and passed. Exits 77 (skipped) where Xvfb or
# PulseAudio is missing.
set -u
program=$(realpath "${1:-}")
seconds=${2:-60}
cpu_limit=${3:-}
rss_limit=${4:-}
name=kavrel_cost
source "$(dirname "$0")/viewer.sh"
desktop_start 680x400 || exit 1
pulse_start || exit 1
pulse_tone 440
(cd "$work" && exec "$program") >"$work/said" 2>&1 &
kavrel=$!
picture_wait || { echo "kavrel_cost: no picture window"; cat "$work/said"; exit 1; }
sleep 3 # past start-up and the first sound

# utime + stime of the process (all its threads), in clock ticks; and per thread, "name ticks".
ticks() { awk '{print $14 + $15}' "/proc/$kavrel/stat"; }
threads() {
    local t
    for t in /proc/$kavrel/task/*; do
        echo "$(tr ' ' _ <"$t/comm") $(sed 's/.*) //' "$t/stat" | awk '{print $12 + $13}')"
    done
}
resident=0
threads >"$work/threads-before"
start=$(ticks)
begun=$(date +%s.%N)
for i in $(seq "$seconds"); do
    sleep 1
    kb=$(awk '/^VmRSS/ {print $2}' "/proc/$kavrel/status" 2>/dev/null) ||
        { echo "kavrel_cost: kavrel ended"; cat "$work/said"; exit 1; }
    [ "${kb:-0}" -gt "$resident" ] && resident=$kb
done
end=$(ticks)
ended=$(date +%s.%N)
threads >"$work/threads-after"
read -r cpu mb < <(awk -v t="$((end - start))" -v hz="$(getconf CLK_TCK)" -v a="$begun" \
    -v b="$ended" -v kb="$resident" 'BEGIN { printf "%.2f %.1f\n", 100 * t / hz / (b - a), kb / 1024 }')
echo "kavrel at its defaults with a tone, $seconds s: $cpu % of one core, $mb MB resident at most;" \
    "$(grep -m1 'model name' /proc/cpuinfo | sed 's/.*: //') at $(grep -m1 'cpu MHz' /proc/cpuinfo |
    sed 's/.*: //') MHz, load $(cut -d' ' -f1 /proc/loadavg)"
paste "$work/threads-before" "$work/threads-after" | awk -v hz="$(getconf CLK_TCK)" -v s="$seconds" \
    '$1 == $3 { printf "  thread %s: %.2f %%\n", $1, 100 * ($4 - $2) / hz / s }'
fail=0
[ -n "$cpu_limit" ] && awk -v c="$cpu" -v l="$cpu_limit" 'BEGIN { exit !(c > l) }' &&
    { echo "kavrel_cost: more than $cpu_limit % of a core"; fail=1; }
[ -n "$rss_limit" ] && awk -v m="$mb" -v l="$rss_limit" 'BEGIN { exit !(m > l) }' &&
    { echo "kavrel_cost: more than $rss_limit MB resident"; fail=1; }
exit $fail
