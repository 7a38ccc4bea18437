#!/usr/bin/env python3
"""Times a staged Vellum: start to main window shown, SIGTERM to exit, beside
reading and copying its date/ folder. Called by startup_close.sh.

usage: measure_startup_close.py <program-folder> [--runs R] [--settle S]
The environment must already isolate the program (VELLUM_HOME,
XDG_RUNTIME_DIR, XDG_CONFIG_HOME) and provide a display.
"""
import argparse
import os
import shutil
import signal
import statistics
import subprocess
import sys
import threading
import time

MARKER = b"vellum: window shown"


def run_once(exe, env, start_timeout, settle):
    """Returns (start seconds, close seconds, peak RSS in KB)."""
    t0 = time.monotonic()
    proc = subprocess.Popen([exe], stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL,
                            stderr=subprocess.PIPE, env=env)
    log = []
    shown = threading.Event()
    shown_at = [None]

    def read_stderr():
        for line in proc.stderr:
            if not shown.is_set() and MARKER in line:
                shown_at[0] = time.monotonic()
                shown.set()
            log.append(line)
        shown.set()  # end of output: the process is gone

    reader = threading.Thread(target=read_stderr, daemon=True)
    reader.start()
    shown.wait(start_timeout)
    if shown_at[0] is None:
        proc.kill()
        proc.wait()
        sys.stderr.write(b"".join(log[-40:]).decode("utf-8", "replace"))
        raise SystemExit("vellum never reported its window (exit %s)" % proc.returncode)
    start = shown_at[0] - t0

    time.sleep(settle)  # let the start-up finish its idle work
    t2 = time.monotonic()
    proc.send_signal(signal.SIGTERM)
    killer = threading.Timer(start_timeout, proc.kill)
    killer.start()
    _, status, usage = os.wait4(proc.pid, 0)
    t3 = time.monotonic()
    killer.cancel()
    proc.returncode = os.waitstatus_to_exitcode(status)
    reader.join(5)
    if proc.returncode != 0:
        sys.stderr.write(b"".join(log[-40:]).decode("utf-8", "replace"))
        raise SystemExit("vellum ended with %s after SIGTERM" % proc.returncode)
    return start, t3 - t2, usage.ru_maxrss


def timed_shell(command, cwd):
    t0 = time.monotonic()
    subprocess.run(command, shell=True, cwd=cwd, check=True)
    return time.monotonic() - t0


def snapshot(folder):
    """(name, size, first and last 64 KB) of every file: a cheap check that a
    load and save round trip gave the files back unchanged."""
    out = []
    for name in sorted(os.listdir(folder)):
        path = os.path.join(folder, name)
        with open(path, "rb") as f:
            head = f.read(65536)
            f.seek(max(0, os.path.getsize(path) - 65536))
            tail = f.read()
        out.append((name, os.path.getsize(path), head, tail))
    return out


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("program_folder")
    parser.add_argument("--runs", type=int, default=5)
    parser.add_argument("--settle", type=float, default=1.0,
                        help="seconds between window shown and SIGTERM")
    parser.add_argument("--timeout", type=float, default=600.0)
    args = parser.parse_args()

    prog = os.path.abspath(args.program_folder)
    date = os.path.join(prog, "date")
    exe = os.path.join(prog, "vellum")
    env = dict(os.environ, VELLUM_BENCH="1")
    files = sorted(os.listdir(date))
    size = sum(os.path.getsize(os.path.join(date, n)) for n in files)
    before = snapshot(date)

    starts, closes, rss = [], [], []
    for i in range(args.runs):
        s, c, m = run_once(exe, env, args.timeout, args.settle)
        starts.append(s)
        closes.append(c)
        rss.append(m)
        print("run %d: shown after %.0f ms, exit %.0f ms after SIGTERM" % (i + 1, s * 1e3, c * 1e3),
              file=sys.stderr)
    unchanged = snapshot(date) == before

    timed_shell("cat date/* > /dev/null", prog)  # warm the cache
    reads, copies = [], []
    for _ in range(args.runs):
        reads.append(timed_shell("cat date/* > /dev/null", prog))
        shutil.rmtree(os.path.join(prog, "copy"), ignore_errors=True)
        subprocess.run("sync", shell=True, check=True)
        copies.append(timed_shell("cp -r date copy && sync", prog))
    shutil.rmtree(os.path.join(prog, "copy"), ignore_errors=True)

    def row(label, values, unit="ms", scale=1e3):
        print("  %-40s %10.0f %10.0f %10.0f  %s" % (
            label, statistics.median(values) * scale, min(values) * scale,
            max(values) * scale, unit))

    print()
    print("Vellum start-up and close: %d files, %.1f MB, %d runs" % (len(files), size / 1e6,
                                                                     args.runs))
    print("  %-40s %10s %10s %10s" % ("", "median", "min", "max"))
    row("start to main window shown", starts)
    row("SIGTERM to exit (writes all six files)", closes)
    row("cat date/* > /dev/null (warm cache)", reads)
    row("cp -r date copy && sync", copies)
    row("peak resident memory of vellum", rss, "MB", 1 / 1024)
    print("  files identical after the runs: %s" % ("yes" if unchanged else "NO"))
    if not unchanged:
        raise SystemExit(1)


if __name__ == "__main__":
    main()
