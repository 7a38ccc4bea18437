// Debian's Chromium with the staged extension, driven through the DevTools
// protocol. A context menu cannot be clicked headless, so a case right-clicks
// the element for real (the page sees its contextmenu event) and then calls
// the handler that the menu item's click runs, with the click data a click
// would carry.
import path from "node:path";
import { chromium } from "playwright-core";
import { waitFor } from "./vellum.mjs";

export const EXTENSION_ID = "kjcnbijjdjjginciopfgpkjnbheckabh";

export async function launchChromium(sandbox, { headless = true, userDataDir } = {}) {
  const ext = sandbox.extension;
  const args = [
    "--no-sandbox",
    "--disable-gpu",
    "--disable-quic",
    "--no-first-run",
    "--disable-background-networking",
    "--disable-component-update",
    "--disable-sync",
    "--disable-features=DisableLoadExtensionCommandLineSwitch",
    `--disable-extensions-except=${ext}`,
    `--load-extension=${ext}`,
  ];
  if (headless) args.push("--headless=new");
  const context = await chromium.launchPersistentContext(
    // Chromium reads the host manifests of its user data folder: the program
    // writes them under $XDG_CONFIG_HOME/chromium.
    userDataDir || path.join(sandbox.config, "chromium"),
    {
      executablePath: "/usr/bin/chromium",
      headless: false,
      args,
      ignoreDefaultArgs: ["--disable-extensions", "--disable-component-extensions-with-background-pages"],
      // The host inherits this, and so does a program the host starts.
      env: headless ? { ...sandbox.env, QT_QPA_PLATFORM: "offscreen" } : sandbox.env,
      timeout: 60000,
    },
  );
  const worker =
    context.serviceWorkers().find((w) => w.url().includes(EXTENSION_ID)) ||
    (await context.waitForEvent("serviceworker", { predicate: (w) => w.url().includes(EXTENSION_ID), timeout: 30000 }));
  await waitFor("the context menu", () => worker.evaluate(() => self.vellumMenuState.source !== "none"), 20000);
  return { context, worker };
}

// Opens a page of the test server and returns it with its tab id.
export async function openPage(browser, url) {
  const page = await browser.context.newPage();
  await page.goto(url);
  const tabId = await browser.worker.evaluate(
    async (u) => (await chrome.tabs.query({})).find((t) => t.url === u)?.id,
    url,
  );
  if (tabId === undefined) throw new Error(`no tab for ${url}`);
  return { page, tabId, url };
}

// Right-click on selector (when given), then run the entry as that click would.
export async function menu(browser, tab, entry, { selector, info = {} } = {}) {
  if (selector) await tab.page.click(selector, { button: "right" });
  const click = { menuItemId: entry, frameId: 0, pageUrl: tab.url, editable: false, ...info };
  return browser.worker.evaluate(
    async ([e, i, id]) => self.vellumMenu(e, i, await chrome.tabs.get(id)),
    [entry, click, tab.tabId],
  );
}

export async function selectText(page, selector) {
  await page.evaluate((s) => {
    const el = document.querySelector(s);
    const range = document.createRange();
    range.selectNodeContents(el);
    getSelection().removeAllRanges();
    getSelection().addRange(range);
  }, selector);
  return page.evaluate(() => getSelection().toString());
}

// The notice the extension shows in a tab. Its shadow root is closed, so the
// page cannot read it; the extension's own content script can.
export async function shownNotice(browser, tab) {
  return browser.worker.evaluate(async (tabId) => {
    const [r] = await chrome.scripting.executeScript({ target: { tabId, frameIds: [0] }, func: () => globalThis.__vellum.run("shownNotice") });
    return r.result;
  }, tab.tabId);
}

export async function noticeText(browser, tab) {
  return (await shownNotice(browser, tab)).text;
}

// A page that the extension opens. Playwright may announce it before its
// address is committed, so the pages are polled rather than the event
// filtered.
export function extensionPage(browser, fragment, timeoutMs = 15000) {
  return waitFor(`a page ${fragment}`, () => browser.context.pages().find((p) => p.url().includes(fragment)), timeoutMs);
}
