// Firefox ESR through WebDriver BiDi. The extension is installed from its
// folder as a temporary add-on. BiDi does not list the background page as a
// realm, so the cases run in a tab of the extension's own page, from which
// browser.runtime.getBackgroundPage() reaches the background's vellumMenu.
// The extension's internal address is fixed through a preference.
import { spawn } from "node:child_process";
import fs from "node:fs";
import path from "node:path";
import WebSocket from "ws";
import { waitFor } from "./vellum.mjs";

export const GECKO_ID = "bridge@vellum.invalid";
const EXTENSION_UUID = "3c1b5d0e-7a6f-4d8e-9b2a-5f0c8e1d7a64";

class Bidi {
  constructor(ws) {
    this.ws = ws;
    this.next = 1;
    this.waiting = new Map();
    ws.on("message", (data) => {
      const msg = JSON.parse(data.toString());
      if (msg.id && this.waiting.has(msg.id)) {
        const { resolve, reject, timer } = this.waiting.get(msg.id);
        this.waiting.delete(msg.id);
        clearTimeout(timer);
        if (msg.type === "error") reject(new Error(`${msg.error}: ${msg.message}`));
        else resolve(msg.result);
      }
    });
  }
  send(method, params = {}) {
    const id = this.next++;
    this.ws.send(JSON.stringify({ id, method, params }));
    return new Promise((resolve, reject) => {
      const timer = setTimeout(() => {
        if (this.waiting.delete(id)) reject(new Error(`${method} timed out`));
      }, 60000);
      this.waiting.set(id, { resolve, reject, timer });
    });
  }
}

function remoteValue(v) {
  if (!v) return undefined;
  switch (v.type) {
    case "undefined":
    case "null":
      return null;
    case "string":
    case "number":
    case "boolean":
      return v.value;
    case "array":
      return v.value.map(remoteValue);
    case "object":
      return Object.fromEntries(v.value.map(([k, val]) => [typeof k === "string" ? k : remoteValue(k), remoteValue(val)]));
    default:
      return v.value;
  }
}

export async function launchFirefox(sandbox, { headless = true } = {}) {
  const profile = path.join(sandbox.home, "firefox-profile");
  fs.mkdirSync(profile, { recursive: true });
  // A long-running case must not see the event page put to sleep.
  fs.writeFileSync(
    path.join(profile, "user.js"),
    [
      'user_pref("extensions.background.idle.timeout", 600000);',
      'user_pref("browser.shell.checkDefaultBrowser", false);',
      'user_pref("datareporting.policy.dataSubmissionEnabled", false);',
      'user_pref("app.update.auto", false);',
      'user_pref("browser.startup.homepage_override.mstone", "ignore");',
      // The extension's pages get a known moz-extension:// address.
      `user_pref("extensions.webextensions.uuids", ${JSON.stringify(JSON.stringify({ [GECKO_ID]: EXTENSION_UUID }))});`,
    ].join("\n"),
  );
  const child = spawn(
    "firefox-esr",
    [...(headless ? ["--headless"] : []), "--remote-debugging-port", "0", "--remote-allow-system-access", "--profile", profile, "--no-remote"],
    {
      // The host inherits this, and so does a program the host starts.
      env: { ...sandbox.env, ...(headless ? { QT_QPA_PLATFORM: "offscreen" } : {}), MOZ_CRASHREPORTER_DISABLE: "1" },
      stdio: ["ignore", "ignore", "pipe"],
    },
  );
  sandbox.children.push(child);
  let log = "";
  child.stderr.on("data", (d) => (log += d.toString()));
  const address = await waitFor("Firefox's WebDriver BiDi address", () => {
    if (child.exitCode !== null) throw new Error(`firefox ended: ${log.slice(-1500)}`);
    const m = log.match(/WebDriver BiDi listening on (ws:\/\/\S+)/);
    return m && m[1];
  }, 60000);
  const ws = new WebSocket(`${address}/session`);
  await new Promise((resolve, reject) => {
    ws.once("open", resolve);
    ws.once("error", reject);
  });
  const bidi = new Bidi(ws);
  await bidi.send("session.new", { capabilities: {} });
  await bidi.send("webExtension.install", { extensionData: { type: "path", path: sandbox.extension } });
  const ff = { bidi, child, ws, log: () => log, hostname: EXTENSION_UUID };
  // The extension's own page, in a tab of its own: the cases run from there.
  const tree = await bidi.send("browsingContext.getTree", {});
  ff.extContext = tree.contexts[0].context;
  await bidi.send("browsingContext.navigate", {
    context: ff.extContext,
    url: `moz-extension://${ff.hostname}/GetTitle.htm`,
    wait: "complete",
  });
  await waitFor("the context menu", () => extEval(ff, "(await browser.runtime.getBackgroundPage()).vellumMenuState.source !== 'none'"), 20000);
  return ff;
}

export async function extEval(ff, body, context = ff.extContext) {
  const r = await ff.bidi.send("script.evaluate", {
    expression: `(async () => { ${body.includes("return") ? body : `return (${body});`} })()`,
    target: { context },
    awaitPromise: true,
    resultOwnership: "none",
    serializationOptions: { maxObjectDepth: 5 },
  });
  if (r.type === "exception") throw new Error(r.exceptionDetails.text);
  return remoteValue(r.result);
}

export async function openFirefoxPage(ff, url) {
  const { context } = await ff.bidi.send("browsingContext.create", { type: "tab", background: true });
  await ff.bidi.send("browsingContext.navigate", { context, url, wait: "complete" });
  const tabId = await extEval(ff, `(await browser.tabs.query({})).find((t) => t.url === ${JSON.stringify(url)})?.id`);
  if (tabId === null || tabId === undefined) throw new Error(`no tab for ${url}`);
  return { context, tabId, url };
}

export async function pageEval(ff, tab, body) {
  return extEval(ff, body, tab.context);
}

// A real right-click on the element: the page's contextmenu event tells the
// content script where the menu was opened.
export async function rightClick(ff, tab, selector) {
  const r = await ff.bidi.send("script.evaluate", {
    expression: `document.querySelector(${JSON.stringify(selector)})`,
    target: { context: tab.context },
    awaitPromise: false,
    resultOwnership: "root",
  });
  const element = { sharedId: r.result.sharedId };
  await ff.bidi.send("input.performActions", {
    context: tab.context,
    actions: [
      {
        type: "pointer",
        id: "mouse",
        parameters: { pointerType: "mouse" },
        actions: [
          { type: "pointerMove", x: 0, y: 0, origin: { type: "element", element } },
          { type: "pointerDown", button: 2 },
          { type: "pointerUp", button: 2 },
        ],
      },
    ],
  });
  await ff.bidi.send("input.releaseActions", { context: tab.context });
  // Close the menu the right-click opened.
  await ff.bidi.send("input.performActions", {
    context: tab.context,
    actions: [{ type: "key", id: "keyboard", actions: [{ type: "keyDown", value: "\uE00C" }, { type: "keyUp", value: "\uE00C" }] }],
  });
}

export async function firefoxMenu(ff, tab, entry, { selector, info = {} } = {}) {
  if (selector) await rightClick(ff, tab, selector);
  const click = { menuItemId: entry, frameId: 0, pageUrl: tab.url, ...info };
  return extEval(
    ff,
    `return (await browser.runtime.getBackgroundPage()).vellumMenu(${JSON.stringify(entry)}, ${JSON.stringify(click)}, await browser.tabs.get(${tab.tabId}))`,
  );
}

// The notice in a tab, read through the extension: its shadow root is closed.
export async function shownNotice(ff, tab) {
  return extEval(ff, `(await browser.scripting.executeScript({ target: { tabId: ${tab.tabId}, frameIds: [0] }, func: () => globalThis.__vellum.run("shownNotice") }))[0].result`);
}

export async function closeFirefox(ff) {
  try {
    await ff.bidi.send("browser.close", {});
  } catch {
    // already gone
  }
  ff.ws.close();
  let timer;
  await Promise.race([new Promise((r) => ff.child.once("exit", r)), new Promise((r) => (timer = setTimeout(r, 10000)))]);
  clearTimeout(timer);
  if (ff.child.exitCode === null) ff.child.kill("SIGKILL");
}
