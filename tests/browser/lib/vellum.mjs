// A staged Vellum program folder and the running program, isolated in a
// test's own temporary folders: VELLUM_HOME, XDG_RUNTIME_DIR,
// XDG_CONFIG_HOME, XDG_STATE_HOME, XDG_DATA_HOME and HOME together.
import { execFileSync, spawn } from "node:child_process";
import fs from "node:fs";
import os from "node:os";
import path from "node:path";
import { fileURLToPath } from "node:url";

export const SOURCE_DIR = path.resolve(path.dirname(fileURLToPath(import.meta.url)), "../../..");
export const BUILD_DIR = process.env.VELLUM_BUILD_DIR || path.join(SOURCE_DIR, "build-asan");

export function gb18030(text) {
  return execFileSync("iconv", ["-f", "UTF-8", "-t", "GB18030"], { input: Buffer.from(text, "utf8") });
}

export function sleep(ms) {
  return new Promise((r) => setTimeout(r, ms));
}

export async function waitFor(what, probe, timeoutMs = 15000, stepMs = 100) {
  const end = Date.now() + timeoutMs;
  let last;
  for (;;) {
    try {
      last = await probe();
      if (last) return last;
    } catch (e) {
      last = e;
    }
    if (Date.now() > end) throw new Error(`timed out waiting for ${what} (last: ${last && last.message ? last.message : JSON.stringify(last)})`);
    await sleep(stepMs);
  }
}

// A test that is stopped from outside (a CTest time-out) must not leave its
// program and browsers running.
const sandboxes = new Set();
process.once("exit", () => {
  for (const s of sandboxes) {
    for (const c of s.children) if (c.exitCode === null && !c.signalCode) c.kill("SIGKILL");
    for (const pid of s.programsStartedElsewhere()) {
      try {
        process.kill(pid, "SIGKILL");
      } catch {
        // already gone
      }
    }
    if (!process.env.VELLUM_TEST_KEEP) fs.rmSync(s.root, { recursive: true, force: true });
  }
});
for (const signal of ["SIGTERM", "SIGINT", "SIGHUP"]) process.once(signal, () => process.exit(1));

export class Sandbox {
  constructor(name) {
    this.root = fs.mkdtempSync(path.join(os.tmpdir(), `vellum-${name}-`));
    const dir = (d, mode = 0o755) => {
      const p = path.join(this.root, d);
      fs.mkdirSync(p, { recursive: true, mode });
      fs.chmodSync(p, mode);
      return p;
    };
    this.prog = dir("program");
    this.runtime = dir("runtime", 0o700);
    this.config = dir("config");
    this.state = dir("state");
    this.data = dir("data");
    this.home = dir("home");
    // No sound device is needed, and none is touched.
    fs.writeFileSync(path.join(this.home, ".asoundrc"), "pcm.!default { type null }\nctl.!default { type hw card 0 }\n");
    this.env = {
      PATH: process.env.PATH,
      LANG: "C.UTF-8",
      VELLUM_HOME: this.prog,
      XDG_RUNTIME_DIR: this.runtime,
      XDG_CONFIG_HOME: this.config,
      XDG_STATE_HOME: this.state,
      XDG_DATA_HOME: this.data,
      HOME: this.home,
      LSAN_OPTIONS: `suppressions=${SOURCE_DIR}/tests/lsan.supp`,
      UBSAN_OPTIONS: "print_stacktrace=1:halt_on_error=1",
    };
    for (const k of ["DISPLAY", "XAUTHORITY"]) if (process.env[k]) this.env[k] = process.env[k];
    this.children = [];
    sandboxes.add(this);
  }

  // The complete program folder, laid out by the same script as the run command.
  stage() {
    execFileSync("bash", [path.join(SOURCE_DIR, "scripts/stage-program-folder.sh"), BUILD_DIR, this.prog], {
      stdio: ["ignore", "ignore", "inherit"],
    });
    this.extension = path.join(this.prog, "html");
    if (!fs.existsSync(path.join(this.extension, "manifest.json"))) throw new Error(`the staged folder has no extension in ${this.extension}`);
    return this;
  }

  // Sets keys of the staged config.ini, keeping everything else in it.
  setConfig(section, keys) {
    const file = path.join(this.prog, "config.ini");
    const text = fs.existsSync(file) ? new TextDecoder("gb18030").decode(fs.readFileSync(file)) : "";
    const lines = text.split(/\r?\n/);
    let start = lines.findIndex((l) => l.trim() === `[${section}]`);
    if (start < 0) {
      if (lines.length && lines[lines.length - 1] !== "") lines.push("");
      lines.push(`[${section}]`);
      start = lines.length - 1;
    }
    for (const [key, value] of Object.entries(keys)) {
      let end = start + 1;
      while (end < lines.length && !lines[end].startsWith("[")) end++;
      const at = lines.slice(start + 1, end).findIndex((l) => l.split("=")[0].trim() === key);
      if (at >= 0) lines[start + 1 + at] = `${key}=${value}`;
      else lines.splice(start + 1, 0, `${key}=${value}`);
    }
    fs.writeFileSync(file, gb18030(lines.join("\r\n").replace(/(\r\n)*$/, "\r\n")));
  }

  // Posts of a category: [title, content] pairs as post lines.
  writeCategory(index, posts) {
    const lines = posts.map(([t, c]) => `${t}$TCSPLIT$${c.replace(/\r?\n/g, "$1310$")}\r\n`).join("");
    fs.writeFileSync(path.join(this.prog, "date", `Date${index + 1}.dat`), gb18030(lines));
  }

  writeQuickNotes(notes) {
    fs.writeFileSync(path.join(this.prog, "QuickNotes.dat"), gb18030(notes.map((n) => `${n.replace(/\r?\n/g, "$1310$")}\r\n`).join("")));
  }

  readCategory(index) {
    const file = path.join(this.prog, "date", `Date${index + 1}.dat`);
    if (!fs.existsSync(file)) return [];
    return new TextDecoder("gb18030")
      .decode(fs.readFileSync(file))
      .split("\r\n")
      .filter((l) => l)
      .map((l) => {
        const [title, content] = l.split("$TCSPLIT$");
        return { title, content: (content || "").split("$1310$").join("\r\n") };
      });
  }

  // A DWORD of the location record, as the settings dialog writes "Convent".
  setProgramDword(name, value) {
    const file = path.join(this.config, "vellum/registry/HKEY_LOCAL_MACHINE.reg");
    let text = fs.existsSync(file) ? fs.readFileSync(file, "utf8") : "Windows Registry Editor Version 5.00\r\n\r\n";
    const header = "[HKEY_LOCAL_MACHINE\\Software\\Vellum]\r\n";
    const line = `"${name}"=dword:${value.toString(16).padStart(8, "0")}\r\n`;
    const re = new RegExp(`"${name}"=dword:[0-9a-fA-F]+\\r\\n`);
    if (re.test(text)) text = text.replace(re, line);
    else if (text.includes(header)) text = text.replace(header, header + line);
    else text += header + line + "\r\n";
    fs.writeFileSync(file, text);
  }

  // The shared text block: "BBSSETTEXT:" title "$TCSPLIT$" content, up to its NUL.
  sharedPost() {
    const file = path.join(this.runtime, "vellum", "MapString");
    if (!fs.existsSync(file)) return null;
    const bytes = fs.readFileSync(file);
    const end = bytes.indexOf(0);
    const text = new TextDecoder("gb18030").decode(bytes.subarray(0, end < 0 ? bytes.length : end));
    if (!text.startsWith("BBSSETTEXT:")) return null;
    const body = text.slice(11);
    const cut = body.indexOf("$TCSPLIT$");
    return { title: body.slice(0, cut), content: body.slice(cut + 9) };
  }

  // Starts the staged program and waits until its window is up and its
  // sockets listen.
  async startVellum({ offscreen = true } = {}) {
    const env = { ...this.env, VELLUM_BENCH: "1" };
    if (offscreen) env.QT_QPA_PLATFORM = "offscreen";
    const child = spawn(path.join(this.prog, "vellum"), [], { env, stdio: ["ignore", "ignore", "pipe"] });
    this.vellum = child;
    this.children.push(child);
    this.vellumLog = "";
    child.stderr.on("data", (d) => {
      this.vellumLog += d.toString();
      if (process.env.VELLUM_TEST_VERBOSE) process.stderr.write(`[vellum] ${d}`);
    });
    await waitFor("vellum to show its window", () => {
      if (child.exitCode !== null || child.signalCode) throw new Error(`vellum ended: ${this.vellumLog.slice(-2000)}`);
      return /window shown \(pid \d+\)/.test(this.vellumLog);
    }, 90000);
    await waitFor("vellum's sockets", () => fs.existsSync(path.join(this.runtime, "vellum", "1108")), 20000);
    return child;
  }

  async stopVellum() {
    const child = this.vellum;
    if (!child || child.exitCode !== null || child.signalCode) return child ? child.exitCode : null;
    const done = new Promise((r) => child.once("exit", (code, signal) => r(code ?? signal)));
    child.kill("SIGTERM");
    let timer;
    const late = new Promise((r) => (timer = setTimeout(() => r("timeout"), 60000)));
    const code = await Promise.race([done, late]);
    clearTimeout(timer);
    if (code === "timeout") child.kill("SIGKILL");
    return code;
  }

  // Programs of this sandbox that someone else started (the host starts
  // Vellum detached, in a session of its own): found by their environment.
  programsStartedElsewhere() {
    const pids = [];
    for (const pid of fs.readdirSync("/proc").filter((d) => /^\d+$/.test(d))) {
      try {
        const exe = fs.readlinkSync(`/proc/${pid}/exe`);
        if (path.basename(exe) !== "vellum") continue;
        const env = fs.readFileSync(`/proc/${pid}/environ`, "utf8").split("\0");
        if (env.includes(`VELLUM_HOME=${this.prog}`) && !this.children.some((c) => c.pid === Number(pid))) pids.push(Number(pid));
      } catch {
        // gone, or not ours to read
      }
    }
    return pids;
  }

  async cleanup() {
    await this.stopVellum().catch(() => {});
    for (const pid of this.programsStartedElsewhere()) {
      try {
        process.kill(pid, "SIGTERM");
        await waitFor("a started program to end", () => !fs.existsSync(`/proc/${pid}`), 30000);
      } catch {
        try {
          process.kill(pid, "SIGKILL");
        } catch {
          // already gone
        }
      }
    }
    for (const c of this.children) if (c.exitCode === null && !c.signalCode) c.kill("SIGKILL");
    sandboxes.delete(this);
    if (!process.env.VELLUM_TEST_KEEP) fs.rmSync(this.root, { recursive: true, force: true });
  }
}
