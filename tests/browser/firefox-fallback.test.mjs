// Without the native messaging host, Firefox reaches Vellum through the
// clipboard too. A visible Firefox and Vellum share the test's own xvfb-run
// display, so the program's clipboard poll sees what the extension copied.
import assert from "node:assert/strict";
import fs from "node:fs";
import path from "node:path";
import { after, before, describe, test } from "node:test";
import { closeFirefox, firefoxMenu, launchFirefox, openFirefoxPage, pageEval } from "./lib/firefox.mjs";
import { startServer } from "./lib/server.mjs";
import { Sandbox, waitFor } from "./lib/vellum.mjs";

const PAGE = `<!doctype html><meta charset="utf-8"><title>论坛</title>
<h1 id="t">火狐经剪贴板送来的标题</h1><p id="c">第一行<br>第二行</p>`;

async function select(ff, tab, selector) {
  await pageEval(ff, tab, `(() => { const r = document.createRange(); r.selectNodeContents(document.querySelector(${JSON.stringify(selector)})); getSelection().removeAllRanges(); getSelection().addRange(r); return true; })()`);
}

describe("the clipboard fallback in Firefox", { skip: !process.env.DISPLAY && "needs the test's own X display (xvfb-run -a)" }, () => {
  let sandbox, server, ff, tab;

  before(async () => {
    sandbox = new Sandbox("firefox-fallback").stage();
    sandbox.setConfig("Common", { RetoreMainWin: 0 });
    server = await startServer({ "/page.html": PAGE });
    await sandbox.startVellum({ offscreen: false });
    // Vellum registered its host at start; this browser shall not find it.
    fs.rmSync(path.join(sandbox.home, ".mozilla", "native-messaging-hosts", "vellum.browser_host.json"));
    ff = await launchFirefox(sandbox, { headless: false });
    tab = await openFirefoxPage(ff, `${server.origin}/page.html`);
  });

  after(async () => {
    if (ff) await closeFirefox(ff);
    await server?.close();
    await sandbox?.cleanup();
  });

  test("get title and get content go over the clipboard to the running program", async () => {
    await select(ff, tab, "#t");
    const title = await firefoxMenu(ff, tab, "GetTitle.htm", { selector: "#t" });
    assert.equal(title.ok, true, title.error);
    assert.equal(title.via, "clipboard");
    // Firefox's event page has a clipboard of its own.
    assert.equal(title.how, "background");
    await waitFor("the title in Vellum", () => sandbox.sharedPost()?.title === "火狐经剪贴板送来的标题");

    await select(ff, tab, "#c");
    const content = await firefoxMenu(ff, tab, "GetContent.htm", { selector: "#c" });
    assert.equal(content.via, "clipboard");
    await waitFor("the content in Vellum", () => sandbox.sharedPost()?.content.replace(/\r\n/g, "\n") === "第一行\n第二行");
  });
});
