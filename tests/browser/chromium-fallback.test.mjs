// Without the native messaging host, a "get" entry still reaches Vellum: the
// extension puts the clipboard command on the clipboard, and the program's
// clipboard poll takes it. Headless Chromium keeps a clipboard of its own, so
// this runs a visible Chromium and Vellum on the same X server (the test's own
// xvfb-run display).
import assert from "node:assert/strict";
import fs from "node:fs";
import path from "node:path";
import { after, before, describe, test } from "node:test";
import { launchChromium, menu, noticeText, openPage, selectText } from "./lib/chromium.mjs";
import { startServer } from "./lib/server.mjs";
import { Sandbox, waitFor } from "./lib/vellum.mjs";

const PAGE = `<!doctype html><meta charset="utf-8"><title>论坛</title>
<h1 id="t">剪贴板送来的标题</h1>
<p id="c">剪贴板送来的内容</p>
<textarea id="body"></textarea>`;

describe("the clipboard fallback in Chromium", { skip: !process.env.DISPLAY && "needs the test's own X display (xvfb-run -a)" }, () => {
  let sandbox, server, browser, tab;

  before(async () => {
    sandbox = new Sandbox("chromium-fallback").stage();
    sandbox.setConfig("Common", { RetoreMainWin: 0 });
    server = await startServer({ "/page.html": PAGE });
    await sandbox.startVellum({ offscreen: false });
    // A user data folder without the host manifest that Vellum wrote: the
    // browser finds no host.
    const userDataDir = path.join(sandbox.home, "chromium-no-host");
    browser = { ...(await launchChromium(sandbox, { headless: false, userDataDir })), userDataDir };
    tab = await openPage(browser, `${server.origin}/page.html`);
    await tab.page.bringToFront();
  });

  after(async () => {
    await browser?.context.close().catch(() => {});
    await server?.close();
    await sandbox?.cleanup();
  });

  test("the menu is built from the shipped entries", async () => {
    const state = await browser.worker.evaluate(() => self.vellumMenuState);
    assert.equal(state.source, "defaults");
    assert.equal(state.items.length, 9);
  });

  test("get title goes over the clipboard to the running program", async () => {
    await selectText(tab.page, "#t");
    const r = await menu(browser, tab, "GetTitle.htm", { selector: "#t" });
    assert.equal(r.ok, true, r.error);
    assert.equal(r.via, "clipboard");
    // The service worker has no clipboard: its offscreen document copies.
    assert.equal(r.how, "offscreen");
    await waitFor("the title in Vellum", () => sandbox.sharedPost()?.title === "剪贴板送来的标题");
    // The user is told why the clipboard was used.
    assert.match(await noticeText(browser, tab), /剪贴板/);
  });

  test("get content follows it the same way", async () => {
    await selectText(tab.page, "#c");
    const r = await menu(browser, tab, "GetContent.htm", { selector: "#c" });
    assert.equal(r.via, "clipboard");
    await waitFor("the content in Vellum", () => sandbox.sharedPost()?.content === "剪贴板送来的内容");
  });

  test("a set entry cannot work without the host and says so", async () => {
    const r = await menu(browser, tab, "SetTitle.htm", { selector: "#body", info: { editable: true } });
    assert.equal(r.ok, false);
    assert.match(r.error, /vellum\.browser_host/);
    assert.equal(await tab.page.inputValue("#body"), "");
  });

  test("once the host is registered, the next entry goes through it and the menu is rebuilt from the registry", async () => {
    const hosts = path.join(browser.userDataDir, "NativeMessagingHosts");
    fs.mkdirSync(hosts, { recursive: true });
    fs.copyFileSync(path.join(sandbox.config, "chromium", "NativeMessagingHosts", "vellum.browser_host.json"), path.join(hosts, "vellum.browser_host.json"));
    await selectText(tab.page, "#t");
    const r = await menu(browser, tab, "GetTitle.htm", { selector: "#t" });
    assert.equal(r.via, "host");
    await waitFor("the registered menu", () => browser.worker.evaluate(() => self.vellumMenuState.source === "host"));
  });
});
