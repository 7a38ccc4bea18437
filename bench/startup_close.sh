#!/usr/bin/env bash
# Start-up and close benchmark of the real program on a large library.
#   startup_close.sh <build-dir> [--posts N] [--runs R] [--seed S] [--settle SECONDS]
# Stages a program folder in a temporary directory, fills date/ with 6 x N
# posts (default 100,000 each, about 1.6 GB), then times start to main window
# shown and SIGTERM to exit, beside reading and copying date/. Runs under
# xvfb-run by itself when there is no display. Use a Release build for
# meaningful numbers.
set -eu

usage() {
    echo "usage: $0 <build-dir> [--posts N] [--runs R] [--seed S] [--settle SECONDS]" >&2
    exit 2
}
[ "$#" -ge 1 ] || usage

if [ -z "${DISPLAY:-}" ] && [ -z "${VELLUM_BENCH_NESTED:-}" ]; then
    command -v xvfb-run >/dev/null 2>&1 || {
        echo "$0: no display and no xvfb-run (install xvfb and xauth)" >&2
        exit 1
    }
    export VELLUM_BENCH_NESTED=1
    exec xvfb-run -a -s "-screen 0 1280x1024x24" bash "$0" "$@"
fi

build=$(cd "$1" && pwd)
shift
posts=100000
runs=5
seed=1108
settle=1.0
while [ "$#" -gt 0 ]; do
    case "$1" in
    --posts) posts=$2; shift 2 ;;
    --runs) runs=$2; shift 2 ;;
    --seed) seed=$2; shift 2 ;;
    --settle) settle=$2; shift 2 ;;
    *) usage ;;
    esac
done

here=$(cd "$(dirname "$0")" && pwd)
src=$(cd "$here/.." && pwd)
work=$(mktemp -d "${TMPDIR:-/tmp}/vellum-bench.XXXXXX")
trap 'rm -rf "$work"' EXIT

prog="$work/program"
bash "$src/scripts/stage-program-folder.sh" "$build" "$prog" >/dev/null
echo "generating 6 x $posts posts ..." >&2
python3 "$here/gen_library.py" "$prog" --posts "$posts" --seed "$seed"

# The program under test keeps everything it writes outside its folder here.
mkdir -p "$work/run" "$work/config"
chmod 700 "$work/run"
export VELLUM_HOME="$prog"
export XDG_RUNTIME_DIR="$work/run"
export XDG_CONFIG_HOME="$work/config"
# A sanitizer build reports the desktop libraries' leaks at exit; only the
# timing matters here.
export ASAN_OPTIONS="${ASAN_OPTIONS:-detect_leaks=0}"

python3 "$here/measure_startup_close.py" "$prog" --runs "$runs" --settle "$settle"
