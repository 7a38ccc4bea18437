// A page that works against the user, in headless Chromium with the real
// extension, host and program: it answers each real right-click with one of
// its own aimed at a hidden field, hides or moves the field the user chose,
// reads what the extension shows in it, and offers script in its HTML.
import assert from "node:assert/strict";
import fs from "node:fs";
import path from "node:path";
import { after, before, describe, test } from "node:test";
import { launchChromium, menu, openPage, selectText, shownNotice } from "./lib/chromium.mjs";
import { startServer } from "./lib/server.mjs";
import { Sandbox, waitFor } from "./lib/vellum.mjs";

const PAGE = `<!doctype html><meta charset="utf-8"><title>论坛</title>
<style>#box{width:0;height:0;overflow:hidden}#cover{position:absolute;background:#fff}</style>
<h1 id="t">好标题</h1><p id="c">好内容</p>
<textarea id="trap" style="position:absolute;left:-9999px"></textarea><div id="box"></div>
<div id="form"></div>
<div id="evil"><p>第一段 <b onclick="steal()">粗体</b> <img src="/img/20x10/a.svg" onerror="steal()" onload="steal()">
<a href="javascript:steal()">甲</a> <a href=" JaVa&#x09;script:steal()">乙</a> <a href="vbscript:msgbox(1)">丙</a>
<a href="data:text/html,&lt;script&gt;steal()&lt;/script&gt;">丁</a> <a href="/t/1.html" onmouseover="steal()">好链接</a>
<img src="data:image/png;base64,iVBORw0KGgo=" alt="小图"></p>
<form action="javascript:steal()"><button formaction="javascript:steal()">按钮</button></form>
<svg width="10" height="10"><a href="javascript:steal()"><text>矢量</text></a></svg>
<iframe srcdoc="&lt;script&gt;steal()&lt;/script&gt;" width="10" height="10"></iframe></div>
<script>
  // The page's own trick for the next right-click.
  window.trick = "";
  addEventListener("contextmenu", (e) => {
    if (!e.isTrusted) return;
    const field = e.target;
    document.getElementById("trap").dispatchEvent(new MouseEvent("contextmenu", { bubbles: true, composed: true }));
    const r = field.getBoundingClientRect();
    const tricks = {
      remove: () => field.remove(),
      hide: () => (field.style.display = "none"),
      transparent: () => (field.style.opacity = "0.02"),
      cover: () => {
        const c = document.createElement("div");
        c.id = "cover";
        Object.assign(c.style, { left: r.left + scrollX + "px", top: r.top + scrollY + "px", width: r.width + "px", height: r.height + "px" });
        document.body.append(c);
      },
      clip: () => document.getElementById("box").append(field),
      offscreen: () => Object.assign(field.style, { position: "absolute", left: "-5000px" }),
    };
    if (field.id === "victim" && tricks[trick]) setTimeout(tricks[trick]);
  });
</script>`;

const NOTE = "快速回复的话";

describe("a hostile page in Chromium", () => {
  let sandbox, server, browser, tab;
  const post = () => sandbox.sharedPost();

  before(async () => {
    sandbox = new Sandbox("chromium-hostile").stage();
    sandbox.setConfig("Common", { KeepSubject: 0, RandomNote: 1, GetAutoSave: 1, RetoreMainWin: 0 });
    sandbox.writeCategory(0, [["下一帖", "下一帖的内容"]]);
    sandbox.writeQuickNotes([NOTE]);
    server = await startServer({ "/page.html": PAGE });
    await sandbox.startVellum();
    browser = await launchChromium(sandbox);
    tab = await openPage(browser, `${server.origin}/page.html`);
    await selectText(tab.page, "#t");
    assert.equal((await menu(browser, tab, "GetTitle.htm", { selector: "#t" })).ok, true);
    await selectText(tab.page, "#c");
    assert.equal((await menu(browser, tab, "GetContent.htm", { selector: "#c" })).ok, true);
    await waitFor("the captured post", () => post()?.content === "好内容");
  });

  after(async () => {
    await browser?.context.close().catch(() => {});
    await server?.close();
    await sandbox?.cleanup();
  });

  test("only the field of the user's own right-click is filled, and only while it is there to see", async () => {
    const cases = [
      { entry: "SetTitle.htm", trick: "", filled: () => "好标题" },
      { entry: "QuickNote.htm", trick: "", filled: () => NOTE },
      { entry: "SetContent.htm", trick: "remove", refused: /不在页面上/ },
      { entry: "SetTitle.htm", trick: "hide", refused: /看不见/ },
      { entry: "QuickNote.htm", trick: "transparent", refused: /看不见/ },
      { entry: "SetTitle.htm", trick: "cover", refused: /看不见/ },
      { entry: "SetContent.htm", trick: "clip", refused: /看不见/ },
      { entry: "QuickNote.htm", trick: "offscreen", refused: /看不见/ },
      // Last: a filled content moves Vellum on to the next post.
      { entry: "SetContent.htm", trick: "", filled: () => "好内容" },
    ];
    for (const c of cases) {
      const name = `${c.entry} ${c.trick || "plain"}`;
      await tab.page.evaluate((trick) => {
        document.querySelectorAll("#cover, #victim").forEach((e) => e.remove());
        document.getElementById("form").innerHTML = '<textarea id="victim" rows="3" cols="30"></textarea>';
        window.trick = trick;
      }, c.trick);
      const before = post();
      const r = await menu(browser, tab, c.entry, { selector: "#victim", info: { editable: true } });
      const value = await tab.page.evaluate(() => document.getElementById("victim")?.value ?? null);
      assert.equal(await tab.page.inputValue("#trap"), "", name);
      if (c.filled) {
        assert.equal(r.ok, true, `${name}: ${r.error}`);
        assert.equal(value, c.filled(), name);
      } else {
        assert.equal(r.ok, false, name);
        assert.ok(!value, `${name}: ${value}`);
        assert.match((await shownNotice(browser, tab)).text, c.refused, name);
        assert.deepEqual(post(), before, `${name}: Vellum stays on its post`);
      }
    }
    await waitFor("the next post", () => post()?.title === "下一帖");
  });

  test("the page cannot read the notice", async () => {
    assert.ok((await shownNotice(browser, tab)).text);
    const readable = await tab.page.evaluate(
      () => [...document.querySelectorAll("*")].some((e) => e.shadowRoot) || document.body.innerText.includes("Vellum"),
    );
    assert.equal(readable, false);
  });

  test("HTML capture keeps the formatting and drops handlers and script addresses", async () => {
    sandbox.setProgramDword("Convent", 2);
    await selectText(tab.page, "#evil");
    const r = await menu(browser, tab, "GetContent.htm", { selector: "#evil" });
    assert.equal(r.ok, true, r.error);
    const html = await waitFor("the HTML content", () => post()?.content.includes("粗体") && post().content);
    assert.doesNotMatch(html, /\son\w+=|javascript|vbscript|data:text|srcdoc|steal/i);
    const o = server.origin;
    for (const kept of ["<b>粗体</b>", `<img src="${o}/img/20x10/a.svg">`, `<a href="${o}/t/1.html">好链接</a>`, 'src="data:image/png;base64,iVBORw0KGgo="', "<a>甲</a>", "<a>丁</a>", "矢量", "<form>"]) {
      assert.ok(html.includes(kept), `${kept} in ${html}`);
    }
  });

  test("a host error naming a local path shows the page no path; the notice page has it all", async () => {
    await sandbox.stopVellum();
    const registry = path.join(sandbox.config, "vellum/registry/HKEY_LOCAL_MACHINE.reg");
    fs.writeFileSync(registry, fs.readFileSync(registry, "utf8").replace(/"exefile"="[^"]*"/, '"exefile"="/nowhere/at/all/vellum"'));
    await selectText(tab.page, "#t");
    const r = await menu(browser, tab, "GetTitle.htm", { selector: "#t" });
    assert.equal(r.via, "clipboard");
    const shown = await shownNotice(browser, tab);
    assert.match(shown.text, /找不到 Vellum 程序 …/);
    assert.doesNotMatch(shown.text, /nowhere/);
    assert.equal(shown.detail, true);
    const full = await browser.worker.evaluate(async () => {
      const all = await chrome.storage.session.get(null);
      const id = Object.keys(all).find((k) => k.startsWith("notice:") && all[k].includes("/nowhere/"));
      await openNotice(id.slice(7));
      return all[id];
    });
    assert.match(full, /找不到 Vellum 程序 \/nowhere\/at\/all\/vellum/);
    const page = await waitFor("the notice page", () => browser.context.pages().find((p) => p.url().includes("Notice.htm")));
    await waitFor("the full text", async () => (await page.textContent("#text")).includes("/nowhere/at/all/vellum"));
  });
});
