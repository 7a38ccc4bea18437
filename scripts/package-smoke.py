#!/usr/bin/env python3
"""Runs Vellum from an unpacked package tree (a folder holding usr/), with
isolated XDG folders, and checks what a first installed start must do:
  package-smoke.py <tree>
The program folder is made in $XDG_DATA_HOME/vellum from the shipped
defaults; a title and a content handed to the capture socket land in its
date/Date1.dat; the packaged browser host answers the menu message."""
import json
import os
import re
import shutil
import signal
import socket
import struct
import subprocess
import sys
import tempfile
import time


def fail(message):
    print(f"package-smoke: FAILED: {message}", file=sys.stderr)
    sys.exit(1)


def capture(runtime, text):
    with socket.socket(socket.AF_UNIX, socket.SOCK_STREAM) as s:
        s.settimeout(20)
        s.connect(os.path.join(runtime, "capture"))
        data = text.encode("utf-8")
        s.sendall(struct.pack(">I", len(data)) + data)
        answer = b""
        while not answer.endswith(b"\n"):
            chunk = s.recv(64)
            if not chunk:
                break
            answer += chunk
    if answer != b"ok\n":
        fail(f"the capture socket answered {answer!r} to {text!r}")


def host_menu(host, env):
    request = json.dumps({"type": "menu"}).encode()
    out = subprocess.run([host], input=struct.pack("=I", len(request)) + request,
                         env=env, capture_output=True, timeout=30).stdout
    if len(out) < 4:
        fail("the browser host gave no answer")
    (size,) = struct.unpack("=I", out[:4])
    return json.loads(out[4:4 + size])


def main():
    if len(sys.argv) != 2:
        print(__doc__, file=sys.stderr)
        sys.exit(2)
    tree = os.path.abspath(sys.argv[1])
    usr = os.path.join(tree, "usr")
    exe = os.path.join(usr, "bin", "vellum")
    host = os.path.join(usr, "libexec", "vellum", "vellum-browser-host")
    shared = os.path.join(usr, "share", "vellum")
    work = tempfile.mkdtemp(prefix="vellum-package-smoke.")
    try:
        env = {k: v for k, v in os.environ.items() if not k.startswith(("XDG_", "VELLUM_"))}
        folders = {}
        for name in ("HOME", "XDG_RUNTIME_DIR", "XDG_CONFIG_HOME", "XDG_DATA_HOME",
                     "XDG_STATE_HOME"):
            folders[name] = os.path.join(work, name.lower())
            os.makedirs(folders[name], mode=0o700)
            env[name] = folders[name]
        with open(os.path.join(folders["HOME"], ".asoundrc"), "w") as f:
            f.write("pcm.!default { type null }\nctl.!default { type hw card 0 }\n")
        env["VELLUM_BENCH"] = "1"
        env.pop("QT_QPA_PLATFORM", None)
        program_dir = os.path.join(folders["XDG_DATA_HOME"], "vellum")
        runtime = os.path.join(folders["XDG_RUNTIME_DIR"], "vellum")

        proc = subprocess.Popen(["xvfb-run", "-a", exe], env=env, stderr=subprocess.PIPE)
        errors = b""
        pid = None
        deadline = time.time() + 60
        os.set_blocking(proc.stderr.fileno(), False)
        while pid is None and time.time() < deadline and proc.poll() is None:
            time.sleep(0.2)
            errors += proc.stderr.read() or b""
            m = re.search(rb"window shown \(pid (\d+)\)", errors)
            if m:
                pid = int(m.group(1))
        if pid is None:
            proc.kill()
            fail("the packaged program did not show its window:\n" + errors.decode(errors="replace"))

        with open(os.path.join(shared, "config.ini"), "rb") as f:
            shipped = f.read()
        # The defaults, and what the start itself adds (the day's date).
        with open(os.path.join(program_dir, "config.ini"), "rb") as f:
            if not f.read().startswith(shipped):
                fail("the first start did not copy the default config.ini")
        if not os.path.isdir(os.path.join(program_dir, "date")):
            fail("the first start did not make date/")
        print(f"package-smoke: program folder {program_dir} made from {shared}")

        capture(runtime, "BBSGETTITLE:安装包的标题")
        capture(runtime, "BBSGETCONTENT:安装包的内容")
        time.sleep(1)
        os.kill(pid, signal.SIGTERM)
        try:
            proc.wait(timeout=60)
        except subprocess.TimeoutExpired:
            proc.kill()
            fail("the packaged program did not end on SIGTERM")
        errors += proc.stderr.read() or b""
        if proc.returncode != 0:
            fail(f"the packaged program ended with {proc.returncode}:\n"
                 + errors.decode(errors="replace"))
        with open(os.path.join(program_dir, "date", "Date1.dat"), "rb") as f:
            saved = f.read()
        expected = "安装包的标题$TCSPLIT$安装包的内容\r\n".encode("gb18030")
        if saved != expected:
            fail(f"date/Date1.dat holds {saved!r}")
        print("package-smoke: the captured post is in date/Date1.dat")

        for manifest in ("chromium/NativeMessagingHosts", "google-chrome/NativeMessagingHosts"):
            path = os.path.join(folders["XDG_CONFIG_HOME"], manifest, "vellum.browser_host.json")
            with open(path) as f:
                if json.load(f)["path"] != host:
                    fail(f"{path} does not name the packaged host")
        registry = os.path.join(folders["XDG_CONFIG_HOME"], "vellum", "registry")
        with open(os.path.join(registry, "HKEY_LOCAL_MACHINE.reg"), encoding="utf-8") as f:
            if f'"exefile"="{exe}"' not in f.read():
                fail("the program location does not name the packaged executable")
        with open(os.path.join(registry, "HKEY_CURRENT_USER.reg"), encoding="utf-8") as f:
            if f'{shared}/browser-extension/GetTitle.htm' not in f.read():
                fail("the browser menu does not name the packaged extension's pages")
        answer = host_menu(host, env)
        if not answer.get("ok") or len(answer.get("entries", [])) != 9:
            fail(f"the packaged host answered {answer}")
        print("package-smoke: the packaged host answers the menu message with 9 entries")
    finally:
        shutil.rmtree(work, ignore_errors=True)


main()
