// The same extension in Firefox ESR, driven through WebDriver BiDi: the menu
// from the host, get title, content, link, image and all pictures into the
// running program, set title and content into a form and a contenteditable
// with the next post after it, the quick reply (random and picked), the media
// list page, and an error told in the page.
import assert from "node:assert/strict";
import { after, before, describe, test } from "node:test";
import { closeFirefox, extEval, firefoxMenu, launchFirefox, openFirefoxPage, pageEval, shownNotice } from "./lib/firefox.mjs";
import { startServer } from "./lib/server.mjs";
import { Sandbox, waitFor } from "./lib/vellum.mjs";

const PAGE = `<!doctype html><meta charset="utf-8"><title>论坛</title>
<h1 id="t">火狐里的标题</h1>
<div id="c"><p>一段 <b>粗体</b></p><p>二段</p></div>
<a id="l" href="/thread/9">第九帖</a>
<form><input id="subject"><textarea id="body"></textarea></form>
<p id="plain">不能编辑</p>
<embed src="/flash/game.swf" width="500" height="350"><video src="/media/a.mp4" width="320" height="240"></video>
<div id="editor" contenteditable="true"><p>旧的</p></div>
<img id="pic" src="/img/90x60/f.svg"><img src="/img/30x20/s.svg">
<textarea id="trap" style="position:absolute;left:-9999px"></textarea><div id="spot"></div>
<script>
  // Each real right-click is answered with one of the page's own at a hidden
  // field; the field the user chose may be hidden right after.
  window.trick = "";
  addEventListener("contextmenu", (e) => {
    if (!e.isTrusted) return;
    document.getElementById("trap").dispatchEvent(new MouseEvent("contextmenu", { bubbles: true }));
    if (e.target.id === "victim" && trick) setTimeout(() => (e.target.style[trick] = trick === "opacity" ? "0" : "hidden"));
  });
</script>`;

async function select(ff, tab, selector) {
  await pageEval(ff, tab, `(() => { const r = document.createRange(); r.selectNodeContents(document.querySelector(${JSON.stringify(selector)})); getSelection().removeAllRanges(); getSelection().addRange(r); return true; })()`);
}

const value = (ff, tab, id) => pageEval(ff, tab, `document.getElementById(${JSON.stringify(id)}).value`);

describe("Firefox ESR", () => {
  let sandbox, server, ff, tab;
  const post = () => sandbox.sharedPost();

  before(async () => {
    sandbox = new Sandbox("firefox").stage();
    sandbox.setConfig("Common", { KeepSubject: 0, RandomNote: 1, GetAutoSave: 1, RetoreMainWin: 0, NoConvert: 0, Convert2UBB: 1 });
    sandbox.writeCategory(0, [["第一帖", "内容一"]]);
    sandbox.writeQuickNotes(["火狐的快速回复\n第二行"]);
    server = await startServer({ "/page.html": PAGE });
    await sandbox.startVellum();
    ff = await launchFirefox(sandbox);
    tab = await openFirefoxPage(ff, `${server.origin}/page.html`);
  });

  after(async () => {
    if (ff) await closeFirefox(ff);
    await server?.close();
    await sandbox?.cleanup();
  });

  test("the menu comes from the host", async () => {
    const state = await extEval(ff, "(await browser.runtime.getBackgroundPage()).vellumMenuState");
    assert.equal(state.source, "host");
    assert.equal(state.items.length, 9);
    assert.equal(state.items[0].title, "→获取标题");
  });

  test("title, UBB content and a link reach Vellum", async () => {
    await select(ff, tab, "#t");
    assert.equal((await firefoxMenu(ff, tab, "GetTitle.htm", { selector: "#t" })).via, "host");
    await waitFor("the title", () => post()?.title === "火狐里的标题");

    await select(ff, tab, "#c");
    assert.equal((await firefoxMenu(ff, tab, "GetContent.htm", { selector: "#c" })).ok, true);
    await waitFor("the content", () => post()?.content.replace(/\r\n/g, "\n") === "一段 [b]粗体[/b]\n\n二段");

    const href = `${server.origin}/thread/9`;
    assert.equal((await firefoxMenu(ff, tab, "GetHref.htm", { selector: "#l", info: { linkUrl: href } })).ok, true);
    await waitFor("the link", () => post()?.content.endsWith(`[url=${href}]第九帖[/url]`));
  });

  test("set title and set content fill the form, then the next post is loaded", async () => {
    const title = await firefoxMenu(ff, tab, "SetTitle.htm", { selector: "#subject", info: { editable: true } });
    assert.equal(title.ok, true, title.error);
    assert.equal(await value(ff, tab, "subject"), "火狐里的标题");
    const expected = post().content.replace(/\r\n/g, "\n");
    const content = await firefoxMenu(ff, tab, "SetContent.htm", { selector: "#body", info: { editable: true } });
    assert.equal(content.ok, true, content.error);
    assert.equal(await value(ff, tab, "body"), expected);
    await waitFor("the next post", () => post()?.title === "第一帖");
  });

  test("set content into a contenteditable keeps the lines as line breaks", async () => {
    const expected = post().content.replace(/\r\n/g, "\n");
    const r = await firefoxMenu(ff, tab, "SetContent.htm", { selector: "#editor p", info: { editable: true } });
    assert.equal(r.ok, true, r.error);
    assert.equal(r.kind, "contenteditable");
    assert.equal(await pageEval(ff, tab, `document.getElementById("editor").innerText.replace(/\\n$/, "")`), expected);
  });

  test("quick reply fills the field with the note and its line break", async () => {
    const r = await firefoxMenu(ff, tab, "QuickNote.htm", { selector: "#body", info: { editable: true } });
    assert.equal(r.ok, true, r.error);
    assert.equal(await value(ff, tab, "body"), "火狐的快速回复\n第二行");
  });

  test("quick reply in chosen mode: the picker tab fills the field with the note picked", async () => {
    sandbox.setConfig("Common", { RandomNote: 0 });
    await pageEval(ff, tab, `document.getElementById("body").value = ""`);
    const done = firefoxMenu(ff, tab, "QuickNote.htm", { selector: "#body", info: { editable: true } });
    const picker = await waitFor("the picker tab", async () => {
      const tree = await ff.bidi.send("browsingContext.getTree", {});
      return tree.contexts.find((c) => c.url.includes("QuickNote.htm"));
    });
    await waitFor("the notes", () => extEval(ff, `document.querySelectorAll("ol.notes button").length === 1`, picker.context));
    await extEval(ff, `document.querySelector("ol.notes button").click(), true`, picker.context);
    const r = await done;
    assert.equal(r.ok, true, r.error);
    assert.equal(await value(ff, tab, "body"), "火狐的快速回复\n第二行");
  });

  test("the media list page opens beside the page and lists its media", async () => {
    const r = await firefoxMenu(ff, tab, "ListFlash.htm");
    assert.equal(r.ok, true, r.error);
    const list = await waitFor("the media list tab", async () => {
      const tree = await ff.bidi.send("browsingContext.getTree", {});
      return tree.contexts.find((c) => c.url.includes("ListFlash.htm"));
    });
    const rows = await waitFor("the rows", async () => {
      const got = await extEval(ff, `[...document.querySelectorAll("tbody tr")].map((tr) => tr.children[3].textContent)`, list.context);
      return got.length ? got : null;
    });
    assert.deepEqual(rows, [`${server.origin}/flash/game.swf`, `${server.origin}/media/a.mp4`]);
    await ff.bidi.send("browsingContext.close", { context: list.context });
  });

  test("a set entry on plain text is refused with a notice in the page", async () => {
    const r = await firefoxMenu(ff, tab, "SetTitle.htm", { selector: "#plain" });
    assert.equal(r.ok, false);
    assert.equal(r.shown, "page");
    const notice = (await shownNotice(ff, tab)).text;
    assert.match(notice, /输入框/);
  });

  test("only the field of the user's own right-click is filled, while it can be seen, and the page cannot read the notice", async () => {
    const cases = [
      { entry: "SetTitle.htm", trick: "", filled: true },
      { entry: "SetTitle.htm", trick: "visibility", filled: false },
      { entry: "QuickNote.htm", trick: "opacity", filled: false },
    ];
    for (const c of cases) {
      await pageEval(ff, tab, `(document.getElementById("spot").innerHTML = '<input id="victim">', window.trick = ${JSON.stringify(c.trick)}, true)`);
      const r = await firefoxMenu(ff, tab, c.entry, { selector: "#victim", info: { editable: true } });
      assert.equal(await value(ff, tab, "trap"), "", c.trick);
      assert.equal(r.ok, c.filled, `${c.trick}: ${r.error}`);
      assert.equal(await value(ff, tab, "victim"), c.filled ? post().title : "", c.trick);
      if (!c.filled) assert.match((await shownNotice(ff, tab)).text, /看不见/);
    }
    assert.equal(await pageEval(ff, tab, `[...document.querySelectorAll("*")].some((e) => e.shadowRoot)`), false);
  });

  test("an image, then all pictures with their natural sizes (last: the program shows its picture list)", async () => {
    const o = server.origin;
    const one = await firefoxMenu(ff, tab, "GetPic.htm", { selector: "#pic", info: { srcUrl: `${o}/img/90x60/f.svg` } });
    assert.equal(one.text, `BBSGETIMG:${o}/img/90x60/f.svg$SPLIT$`);
    await waitFor("the image tag", () => post()?.content.endsWith(`[img]${o}/img/90x60/f.svg[/img]`));
    const all = await firefoxMenu(ff, tab, "GetAllPic.htm");
    assert.equal(all.ok, true, all.error);
    assert.equal(all.text, `BBSGETALLPIC:${o}/img/90x60/f.svg;90;60$$${o}/img/30x20/s.svg;30;20$$`);
  });
});
