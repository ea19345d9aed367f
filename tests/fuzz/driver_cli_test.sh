#!/usr/bin/env bash
# The fuzz driver's command line: --help, and arguments it must refuse rather than run on.
#   driver_cli_test.sh FUZZ_PROGRAM
set -u
program="$1"
failures=0
# expect STATUS TEXT ARGS...: the exit status, and a text the output must contain.
expect() {
  local status="$1" text="$2"; shift 2
  local out rc
  out=$("$program" "$@" 2>&1); rc=$?
  if [ "$rc" != "$status" ] || [[ "$out" != *"$text"* ]]; then
    echo "FAILED: $* gave $rc (expected $status with '$text'):"; echo "$out" | head -5
    failures=$((failures + 1))
  fi
}
expect 0 "usage: "                                     --help
expect 0 "fuzz-crash-PID.bin in the current"          -h
expect 2 "--seconds takes a number of seconds, not 'abc'" --seconds abc
expect 2 "--seconds takes a number of seconds, not '5x'"  --seconds 5x
expect 2 "--seconds takes a number of seconds, not ''"    --seconds
expect 2 "--seconds takes a number of seconds, not '-3'"  --seconds -3
expect 2 "above 0, not '0'"                            --seconds 0
expect 2 "--seed takes a whole number, not '1.5'"      --seed 1.5
expect 2 "below 2^32, not '4294967296'"                --seed 4294967296
expect 2 "unknown option --second"                     --second 5
expect 2 "--repro needs the FILEs"                     --repro
expect 2 "cannot read /nonexistent/input"              --repro /nonexistent/input
expect 0 "0.3 s"                                       --seconds 0.3 --seed 7
expect 0 "no fault"                                    --seconds 0.3 --seed 7
[ $failures = 0 ] && echo "driver command line: all cases passed"
exit $((failures > 0))
