// Part of try-installed-package.sh: with Vellum started from the menu's
// command line, headless Chromium loads the installed extension and captures
// a page's title through the system-wide host manifest (its own user data
// folder holds no manifest). Environment: VELLUM_TRY_RUNTIME, the runtime
// folder Vellum uses.
import fs from "node:fs";
import os from "node:os";
import path from "node:path";
import { createRequire } from "node:module";

const require = createRequire(path.resolve("tests/browser/package.json"));
const { chromium } = require("playwright-core");
import { startServer } from "../tests/browser/lib/server.mjs";

const EXTENSION = "/usr/share/vellum/browser-extension";
const ID = "kjcnbijjdjjginciopfgpkjnbheckabh";
const TITLE = "标题 from the installed package";

function sharedTitle() {
  const file = path.join(process.env.VELLUM_TRY_RUNTIME, "vellum", "MapString");
  if (!fs.existsSync(file)) return null;
  const bytes = fs.readFileSync(file);
  const end = bytes.indexOf(0);
  const text = new TextDecoder("gb18030").decode(bytes.subarray(0, end < 0 ? bytes.length : end));
  return text.startsWith("BBSSETTEXT:") ? text.slice(11).split("$TCSPLIT$")[0] : null;
}

const server = await startServer({
  "/t.html": `<!doctype html><meta charset="utf-8"><h1 id="t">${TITLE}</h1>`,
});
const userData = fs.mkdtempSync(path.join(os.tmpdir(), "vellum-try-chromium."));
const context = await chromium.launchPersistentContext(userData, {
  executablePath: "/usr/bin/chromium",
  headless: false,
  args: ["--headless=new", "--no-sandbox", "--disable-gpu", "--no-first-run",
    "--disable-features=DisableLoadExtensionCommandLineSwitch",
    `--disable-extensions-except=${EXTENSION}`, `--load-extension=${EXTENSION}`],
  ignoreDefaultArgs: ["--disable-extensions"],
  timeout: 60000,
});
try {
  const worker = context.serviceWorkers().find((w) => w.url().includes(ID)) ||
    (await context.waitForEvent("serviceworker", { predicate: (w) => w.url().includes(ID), timeout: 30000 }));
  for (let i = 0; i < 100; i++) {
    if (await worker.evaluate(() => self.vellumMenuState.source !== "none")) break;
    await new Promise((r) => setTimeout(r, 200));
  }
  const state = await worker.evaluate(() => self.vellumMenuState);
  console.log(`menu from ${state.source}: ${state.items.map((i) => i.title).join(" ")}`);
  if (state.source !== "host") throw new Error("the extension did not reach the host through the system-wide manifest");
  const page = await context.newPage();
  const url = `${server.origin}/t.html`;
  await page.goto(url);
  await page.evaluate(() => {
    const range = document.createRange();
    range.selectNodeContents(document.getElementById("t"));
    getSelection().removeAllRanges();
    getSelection().addRange(range);
  });
  await page.click("#t", { button: "right" });
  const result = await worker.evaluate(async (u) => {
    const tab = (await chrome.tabs.query({})).find((t) => t.url === u);
    return self.vellumMenu("GetTitle.htm", { menuItemId: "GetTitle.htm", frameId: 0, pageUrl: u, editable: false }, tab);
  }, url);
  console.log(`GetTitle.htm: ${JSON.stringify(result)}`);
  let title = null;
  for (let i = 0; i < 50 && title !== TITLE; i++) {
    await new Promise((r) => setTimeout(r, 200));
    title = sharedTitle();
  }
  console.log(`title in Vellum: ${title}`);
  if (title !== TITLE) throw new Error("the title did not reach Vellum");
} finally {
  await context.close().catch(() => {});
  await server.close();
  fs.rmSync(userData, { recursive: true, force: true });
}
