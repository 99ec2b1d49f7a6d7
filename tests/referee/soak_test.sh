#!/usr/bin/env bash
# scripts/soak in a tree of its own, where the build and the referee program are stand-ins: bad
# arguments are refused before anything is built, the days played are counted from the referee's
# own report, and a run in which the referee played no day fails.
#   soak_test.sh <path of scripts/soak>
set -uo pipefail
tree="$(mktemp -d)"
trap 'rm -rf "$tree"' EXIT
failed=0
mkdir -p "$tree/scripts" "$tree/build/default/tests/referee_tests"
cp "$1" "$tree/scripts/soak"
cat >"$tree/scripts/build" <<'EOF'
#!/usr/bin/env bash
touch "$(dirname "$0")/../built"
EOF
referee="$tree/build/default/tests/referee_tests/referee_tests"
chmod +x "$tree/scripts/build"

# The stand-in referee: $1 is what it does with the batch it is given.
playing() {
    cat >"$referee" <<EOF
#!/usr/bin/env bash
first=\$SLEEPVANE_REFEREE_FIRST; count=\$SLEEPVANE_REFEREE_COUNT
case "$1" in
  agree) echo "referee: \$count days played (seeds \$first to \$((first + count - 1))), 0 disagreed" ;;
  disagree) echo "seed \$first: the host and the model part"; echo "referee: \$count days played (seeds \$first to \$((first + count - 1))), 1 disagreed"; exit 1 ;;
  skip) echo "[  SKIPPED ] 1 test" ;;
  nothing) echo "[  PASSED  ] 0 tests." ;;
  refuse) echo "referee_tests: SLEEPVANE_REFEREE_FRIST=1: not a variable this program reads" >&2; exit 2 ;;
esac
EOF
    chmod +x "$referee"
}

expect() { # expect <status> <text the output must hold> <soak's arguments...>
    local want="$1" text="$2" out status
    shift 2
    rm -f "$tree/built"
    out="$("$tree/scripts/soak" "$@" 2>&1)"; status=$?
    if [[ $status -ne $want || "$out" != *"$text"* ]]; then
        echo "soak $*: expected status $want and '$text', got status $status: $out"; failed=1
    fi
    if [[ $want -eq 2 && -e "$tree/built" ]]; then
        echo "soak $*: built before refusing its arguments"; failed=1
    fi
}

playing agree
for bad in 0 0.0 -1 abc 1e3 .5 "1 x" "1 -3" "1 1234567890123456789" "1 2 3"; do
    # shellcheck disable=SC2086
    expect 2 "usage: scripts/soak [minutes] [first-seed]" $bad
done
expect 0 "soak: played 50 days, seeds 1000 to 1049" 0.001 1000
expect 0 "seeds 70 to 119" 0.001 0070
expect 0 "soak: every day agreed with the model" 0.001
playing disagree
expect 1 "seed 5: the host and the model part" 0.001 5
expect 1 "soak: 1 disagreed" 0.001 5
for broken in skip nothing refuse; do
    playing "$broken"
    expect 1 "the referee played no day from seed 7" 0.001 7
done
exit $failed
