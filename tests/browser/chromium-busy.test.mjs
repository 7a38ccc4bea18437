// A command sent while Vellum is frozen (SIGSTOP for longer than the host
// waits for an answer) runs exactly once when it wakes, and the user's
// clipboard is left alone. Chromium and Vellum share the test's own xvfb-run
// display, so a clipboard fallback would reach the program.
import assert from "node:assert/strict";
import { execFileSync, spawn } from "node:child_process";
import { after, before, describe, test } from "node:test";
import { launchChromium, menu, openPage, selectText, shownNotice } from "./lib/chromium.mjs";
import { startServer } from "./lib/server.mjs";
import { Sandbox, sleep, waitFor } from "./lib/vellum.mjs";

const PAGE = `<!doctype html><meta charset="utf-8"><title>论坛</title><p id="c">只来一次的内容</p>`;
const USERS_TEXT = "用户自己复制的文字";

describe("a frozen Vellum", { skip: !process.env.DISPLAY && "needs the test's own X display (xvfb-run -a)" }, () => {
  let sandbox, server, browser, tab;
  const clipboard = () => execFileSync("xclip", ["-selection", "clipboard", "-o"], { env: sandbox.env, timeout: 5000 }).toString();

  before(async () => {
    sandbox = new Sandbox("chromium-busy").stage();
    sandbox.setConfig("Common", { RetoreMainWin: 0 });
    server = await startServer({ "/page.html": PAGE });
    await sandbox.startVellum({ offscreen: false });
    browser = await launchChromium(sandbox, { headless: false });
    tab = await openPage(browser, `${server.origin}/page.html`);
    await tab.page.bringToFront();
    const xclip = spawn("xclip", ["-selection", "clipboard", "-i"], { env: sandbox.env, stdio: ["pipe", "ignore", "ignore"] });
    xclip.stdin.end(USERS_TEXT);
    await waitFor("the user's clipboard", () => clipboard() === USERS_TEXT);
  });

  after(async () => {
    await browser?.context.close().catch(() => {});
    await server?.close();
    await sandbox?.cleanup();
  });

  test("a command handed over while the program is stopped runs once, and the clipboard stays the user's", async () => {
    await selectText(tab.page, "#c");
    sandbox.vellum.kill("SIGSTOP");
    const stopped = Date.now();
    let r;
    try {
      r = await menu(browser, tab, "GetContent.htm", { selector: "#c" });
    } finally {
      await sleep(Math.max(0, 12000 - (Date.now() - stopped)));
      sandbox.vellum.kill("SIGCONT");
    }
    assert.equal(r.ok, true, r.error);
    assert.equal(r.via, "host");
    assert.equal(r.queued, false);
    assert.match((await shownNotice(browser, tab)).text, /正忙/);
    await waitFor("the content in Vellum", () => sandbox.sharedPost()?.content);
    // Time for a second copy to arrive, if one were on its way.
    await sleep(1500);
    assert.equal(sandbox.sharedPost().content, "只来一次的内容");
    assert.equal(clipboard(), USERS_TEXT);
  });
});
