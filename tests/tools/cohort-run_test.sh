#!/usr/bin/env bash
# tools/cohort-run on three short generated recordings and one file that is no recording:
# the summary, the exit status, a signal named by label, an id=, no overwriting, and --resume.
#   cohort-run_test.sh SOURCE_DIR BUILD_DIR
set -uo pipefail
source_dir="$1" build_dir="$2"
cohort_run="$source_dir/tools/cohort-run"
export VANTREL4="$build_dir/app/vantrel4"
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
cd "$work" || exit 1
failures=0
check() {
    if eval "$2"; then echo "ok   $1"; else echo "FAIL $1"; failures=$((failures + 1)); fi
}
digest() { md5sum "$1" | cut -d' ' -f1; }

for seed in 1 2 3; do
    "$build_dir/tools/make-recording" --duration=10m --signals=2 --seed=$seed "night $seed.edf" >/dev/null
done
echo "no recording" >broken.edf
printf '# LIST line 1: a comment, line 2 empty\n\n' >list.tsv
printf 'night 1.edf\t1\tslow-wave\n' >>list.tsv
printf 'night 2.edf\tC4-M1|eeg c4-a1\t1\t1.5\t1.8\t0.02\t70\t0.3\n' >>list.tsv
printf 'broken.edf\t1\tslow-wave\n' >>list.tsv
printf 'night 3.edf\t1\tslow-wave\t35\t0.5\thypnogram=night3.txt\tid=N3\n' >>list.tsv
printf 'W\nW\nW\nW\nW\nW\nW\nW\nW\nW\nW\nW\nW\nW\nW\nW\nW\nW\nW\nW\n' >night3.txt

"$cohort_run" -j 2 list.tsv out 2>run.err
status=$?
check "exit 1 when one analysis failed" '[ "$status" -eq 1 ]'
check "says how many failed" 'grep -q "3 of 4 analyses succeeded, 1 failed" run.err'
expected=$'id,input,signal,results,exit_status,pib,seconds_analysed,wall_seconds,label,reason,'
expected+=$'clean_seconds,artifact_fraction,mc_mean,mc_median,mc_events_per_hour,'
expected+=$'mc_jump_runs_per_hour,version,minutes_W,minutes_N1,minutes_N2,minutes_N3,'
expected+=$'minutes_REM,minutes_unscored,mc_mean_NREM,mc_mean_N2,mc_mean_N3,mc_mean_REM,'
expected+=$'mc_events_per_hour_NREM,mc_events_per_hour_N2,mc_events_per_hour_N3,'
expected+=$'mc_events_per_hour_REM'
check "summary header, CR LF" '[ "$(head -1 out/summary.csv)" = "$expected"$'"'"'\r'"'"' ]'
rows="$(tr -d '\r' <out/summary.csv | tail -n +2)"
check "one row per recording, in LIST order; the id, else the base name; the signal chosen" \
    '[ "$(cut -d, -f1-3 <<<"$rows" | tr "\n" " ")" = "night 1,night 1.edf,1 night 2,night 2.edf,2 broken,broken.edf,1 N3,night 3.edf,1 " ]'
check "names from the LIST line, the id or recording, and the signal number chosen" \
    '[ "$(cut -d, -f4 <<<"$rows" | xargs -d "\n" -n1 basename | tr "\n" " ")" = "0003-night 1-s1.cvn 0004-night 2-s2.cvn 0005-broken-s1.cvn 0006-N3-s1.cvn " ]'
# The record's seconds: a 10-minute night at 25.6 Hz closes 599 whole seconds, never the 1800
# of its padded last record.
check "successes: exit 0, piB, seconds, wall time, label, numbers, version" \
    '[ "$(grep -c -E "^[^,]+,night [0-9].edf,[12],[^,]+,0,[0-9.e+-]+,599,[0-9.e+-]+,EEG [^,]+,,[0-9]+,[0-9.e-]+,[0-9.e-]+,[0-9.e-]+,[0-9.e-]*,[0-9.e-]*,0\.1[^,]*(,{14}|,[0-9.]+,0,0,0,0,0,{8})$" <<<"$rows")" -eq 3 ]'
check "a hypnogram= column gives the night its stage columns" \
    'grep -q -E "^N3,night 3.edf,.*,9\.98[0-9]*,0,0,0,0,0,{8}$" <<<"$rows"'
check "the bad recording failed without numbers, with its reason (its log's last line)" \
    'grep -E "^broken,broken.edf,1,[^,]+,2,,,[0-9.]+,,\"The file" <<<"$rows" |
     grep -q -F "has the version \"\"no recor\"\"; an EDF file has \"\"0\"\"\",,,,,,,"'
check "each run has its log" '[ -s "out/0005-broken-s1.log" ] && [ -s "out/0003-night 1-s1.log" ]'

before="$(digest "out/0003-night 1-s1.cvn")"
"$cohort_run" list.tsv out 2>/dev/null
check "without --overwrite an existing results file stays" \
    '[ "$(digest "out/0003-night 1-s1.cvn")" = "$before" ] && grep -q "^night 1,night 1.edf,1,[^,]*,2," <(tr -d "\r" <out/summary.csv)'

# A killed run leaves a results file without its final header fix: --resume redoes it alone.
printf 'Xltered' | dd of="out/0004-night 2-s2.cvn" bs=1 seek=$((256 + 14 * 96)) conv=notrunc status=none
"$cohort_run" --resume list.tsv out 2>resume.err
check "--resume keeps complete results" \
    'grep -q "line 3: .*complete, kept" resume.err && grep -q "line 6: .*complete, kept" resume.err'
check "--resume reruns the incomplete and the failed" \
    'grep -q "line 4: exit 0" resume.err && grep -q "line 5: exit 2" resume.err'
check "--resume summary: three succeeded" \
    '[ "$(tr -d "\r" <out/summary.csv | grep -c -E ",0,[0-9.e+-]+,599,")" -eq 3 ]'
[ "$failures" -eq 0 ]
