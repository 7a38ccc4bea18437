#!/usr/bin/env python3
"""Kills the real program at random moments of its save and checks that every
category file is then the old one or the new one, byte for byte.

usage: kill_during_save.py <build-dir> [--trials N] [--posts P] [--seed S]

A program folder is staged in a temporary directory with a library of 6 x P
posts whose lines end in LF only; the close rewrites every file with CR LF, so
the old and the new bytes differ in every file. Each trial restores the old
files, starts the program (offscreen), sends SIGTERM, which runs the save, and
SIGKILL after a random delay between 0 and 1.5 times the measured save time.
Prints how many files were found old, new or torn (torn must be 0).
"""
import argparse
import hashlib
import os
import random
import shutil
import signal
import subprocess
import sys
import tempfile
import time

HERE = os.path.dirname(os.path.abspath(__file__))
SRC = os.path.dirname(HERE)


def digest(path):
    h = hashlib.sha256()
    with open(path, "rb") as f:
        for block in iter(lambda: f.read(1 << 20), b""):
            h.update(block)
    return h.hexdigest()


def start(env, exe, log):
    with open(log, "wb") as err:
        proc = subprocess.Popen([exe], env=env, stderr=err, stdout=subprocess.DEVNULL)
    deadline = time.monotonic() + 60
    while time.monotonic() < deadline and proc.poll() is None:
        with open(log, "rb") as f:
            if b"window shown" in f.read():
                return proc
        time.sleep(0.01)
    proc.kill()
    raise SystemExit("the program did not start: " + open(log, "rb").read().decode(errors="replace"))


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("build")
    ap.add_argument("--trials", type=int, default=200)
    ap.add_argument("--posts", type=int, default=3000)
    ap.add_argument("--seed", type=int, default=1108)
    args = ap.parse_args()
    rng = random.Random(args.seed)
    build = os.path.abspath(args.build)

    work = tempfile.mkdtemp(prefix="vellum-kill.")
    try:
        prog = os.path.join(work, "program")
        subprocess.run(["bash", os.path.join(SRC, "scripts", "stage-program-folder.sh"), build, prog],
                       check=True, stdout=subprocess.DEVNULL)
        subprocess.run([sys.executable, os.path.join(HERE, "gen_library.py"), prog,
                        "--posts", str(args.posts), "--seed", str(args.seed)], check=True)
        # The staged copy: a rebuild during the run does not touch it.
        exe = os.path.join(prog, "vellum")
        date = os.path.join(prog, "date")
        old_dir = os.path.join(work, "old")
        os.mkdir(old_dir)
        names = ["Date%d.dat" % k for k in range(1, 7)]
        new_hash, old_hash = {}, {}
        for name in names:
            with open(os.path.join(date, name), "rb") as f:
                data = f.read()
            new_hash[name] = hashlib.sha256(data).hexdigest()
            old = data.replace(b"\r\n", b"\n")
            old_hash[name] = hashlib.sha256(old).hexdigest()
            with open(os.path.join(old_dir, name), "wb") as f:
                f.write(old)
        for sub in ("run", "config", "state", "share", "home"):
            os.makedirs(os.path.join(work, sub), mode=0o700, exist_ok=True)
        env = dict(os.environ, VELLUM_HOME=prog, XDG_RUNTIME_DIR=os.path.join(work, "run"),
                   XDG_CONFIG_HOME=os.path.join(work, "config"),
                   XDG_STATE_HOME=os.path.join(work, "state"),
                   XDG_DATA_HOME=os.path.join(work, "share"), HOME=os.path.join(work, "home"),
                   QT_QPA_PLATFORM="offscreen", VELLUM_BENCH="1",
                   ASAN_OPTIONS=os.environ.get("ASAN_OPTIONS", "detect_leaks=0"))

        def restore():
            for entry in os.listdir(date):
                os.unlink(os.path.join(date, entry))
            for name in names:
                shutil.copyfile(os.path.join(old_dir, name), os.path.join(date, name))

        # The save time, measured once without a kill.
        restore()
        proc = start(env, exe, os.path.join(work, "stderr.txt"))
        t0 = time.monotonic()
        proc.send_signal(signal.SIGTERM)
        proc.wait()
        save_s = time.monotonic() - t0
        assert all(digest(os.path.join(date, n)) == new_hash[n] for n in names), "a clean close"

        counts = {"old": 0, "new": 0, "torn": 0}
        trials_mixed = 0
        for trial in range(args.trials):
            restore()
            proc = start(env, exe, os.path.join(work, "stderr.txt"))
            delay = rng.uniform(0, 1.5 * save_s)
            proc.send_signal(signal.SIGTERM)
            time.sleep(delay)
            proc.send_signal(signal.SIGKILL)
            proc.wait()
            kinds = set()
            for name in names:
                h = digest(os.path.join(date, name))
                kind = "old" if h == old_hash[name] else "new" if h == new_hash[name] else "torn"
                counts[kind] += 1
                kinds.add(kind)
                if kind == "torn":
                    print("trial %d: %s is torn (kill after %.0f ms)" % (trial, name, delay * 1000))
            if kinds == {"old", "new"}:
                trials_mixed += 1
            if (trial + 1) % 50 == 0:
                print("%d trials: %s" % (trial + 1, counts), file=sys.stderr, flush=True)
        files = args.trials * len(names)
        print("library: 6 x %d posts, %.1f MB; save at close took %.0f ms"
              % (args.posts, sum(os.path.getsize(os.path.join(old_dir, n)) for n in names) / 1e6,
                 save_s * 1000))
        print("%d trials, %d files: %d old, %d new, %d torn; %d trials killed between two renames"
              % (args.trials, files, counts["old"], counts["new"], counts["torn"], trials_mixed))
        return 1 if counts["torn"] else 0
    finally:
        shutil.rmtree(work, ignore_errors=True)


if __name__ == "__main__":
    sys.exit(main())
