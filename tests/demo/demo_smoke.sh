#!/usr/bin/env bash
# Runs scripts/demo inside a finished build, headless, and checks its life
# cycle: the simulated tester comes up on a link in a temporary folder, the
# program starts with TORVELIN_PORT pointing at that link, and nothing is left
# behind (simulator, program, folder) when the program ends, when the script
# is stopped, or when the script is killed outright.
# Usage: demo_smoke.sh SOURCE_DIR BUILD_DIR
set -euo pipefail

source_dir=$1
build_dir=$2
start_timeout_s=30
end_timeout_s=10

scratch=$(mktemp -d "${TMPDIR:-/tmp}/demo-smoke.XXXXXX")
demo_pid=
sim_pid=
app_pid=
workdir=

stop_leftovers() {
    local pid
    for pid in $demo_pid $app_pid $sim_pid; do
        kill "$pid" 2>/dev/null || true
    done
    for pid in $demo_pid; do wait "$pid" 2>/dev/null || true; done
}
finish() {
    local status=$?
    stop_leftovers
    if ((status != 0)) && [[ -f $scratch/demo.out ]]; then
        echo "--- scripts/demo said:"
        cat "$scratch/demo.out"
    fi
    rm -rf "$scratch"
    exit "$status"
}
trap finish EXIT

fail() {
    echo "FAIL: $*"
    exit 1
}

# Polls a check until it holds or the time is up.
wait_for() {
    local seconds=$1
    shift
    local deadline=$((SECONDS + seconds))
    until "$@"; do
        ((SECONDS < deadline)) || return 1
        sleep 0.1
    done
}

# The pid of the child of $1 whose command name is $2, read from /proc.
child_named() {
    local parent=$1 name=$2 stat line comm fields
    for stat in /proc/[0-9]*/stat; do
        read -r line 2>/dev/null < "$stat" || continue
        comm=${line#*(}
        comm=${comm%)*}
        read -ra fields <<< "${line##*) }"
        if [[ $comm == "$name" && ${fields[1]} == "$parent" ]]; then
            echo "${line%% *}"
            return 0
        fi
    done
    return 1
}

alive() { kill -0 "$1" 2>/dev/null; }
gone() { ! alive "$1"; }
# A reaped child is gone; a zombie (not yet reaped by its parent) counts too.
ended() { gone "$1" || [[ $(cut -d' ' -f3 "/proc/$1/stat" 2>/dev/null) == Z ]]; }

both_started() {
    app_pid=$(child_named "$demo_pid" torvelin) || return 1
    sim_pid=$(child_named "$demo_pid" torvelin-sim) || return 1
}

start_demo() {
    TMPDIR=$scratch DEMO_SKIP_BUILD=1 BUILD_DIR=$build_dir QT_QPA_PLATFORM=offscreen \
        "$source_dir/scripts/demo" > "$scratch/demo.out" 2>&1 &
    demo_pid=$!
    wait_for "$start_timeout_s" both_started || fail "simulator and program did not both start"
    local folders=("$scratch"/torvelin-demo.*)
    ((${#folders[@]} == 1)) && [[ -d ${folders[0]} ]] || fail "no single temporary folder: ${folders[*]}"
    workdir=${folders[0]}

    local link=$workdir/tester
    [[ -L $link && -c $(readlink "$link") ]] || fail "$link is no link to a terminal device"
    tr '\0' '\n' < "/proc/$app_pid/environ" | grep -qx "TORVELIN_PORT=$link" \
        || fail "the program was not started with TORVELIN_PORT=$link"
    alive "$sim_pid" || fail "the simulator ended by itself"
}

expect_cleaned_up() {
    local what=$1
    wait_for "$end_timeout_s" ended "$sim_pid" || fail "$what: the simulator is still running"
    wait_for "$end_timeout_s" ended "$app_pid" || fail "$what: the program is still running"
    wait_for "$end_timeout_s" gone "$demo_pid" || fail "$what: scripts/demo is still running"
    wait "$demo_pid" 2>/dev/null || true
    [[ ! -e $workdir ]] || fail "$what: $workdir was left behind"
    demo_pid= sim_pid= app_pid=
    echo "ok: $what"
}

# The window closing ends the program; the script then stops the simulator.
start_demo
kill "$app_pid"
expect_cleaned_up "program ended"

# Ctrl+C or a service manager stops the script while the window is open.
start_demo
kill -TERM "$demo_pid"
expect_cleaned_up "scripts/demo stopped"

# Killed outright, the script runs no trap: the simulator still ends, because
# its control pipe closes. The window and the folder are ours to clear. (Bash
# announces the killed job on stderr whenever it notices; that is no news.)
start_demo
{
    kill -KILL "$demo_pid"
    wait "$demo_pid" || true
} 2>/dev/null
wait_for "$end_timeout_s" ended "$sim_pid" || fail "scripts/demo killed: the simulator is still running"
kill "$app_pid"
wait_for "$end_timeout_s" ended "$app_pid" || fail "scripts/demo killed: the program did not end"
rm -rf "$workdir"
demo_pid= sim_pid= app_pid=
echo "ok: scripts/demo killed"
