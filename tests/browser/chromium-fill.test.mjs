// From Vellum back into a forum's form in headless Chromium: set title and set
// content from the shared text block into an input, a textarea and a
// contenteditable, the next post after set content, the quick reply (random
// and picked), the media list page, and the errors told in the page.
import assert from "node:assert/strict";
import { after, before, describe, test } from "node:test";
import { extensionPage, launchChromium, menu, noticeText, openPage, selectText } from "./lib/chromium.mjs";
import { startServer } from "./lib/server.mjs";
import { Sandbox, waitFor } from "./lib/vellum.mjs";

const FORM = `<!doctype html><meta charset="utf-8"><title>回复</title>
<form><input id="subject" name="subject"><textarea id="body" name="body"></textarea></form>
<div id="editor" contenteditable="true"><p>旧的内容</p></div>
<p id="plain">不能编辑的段落</p>
<script>
  window.heard = [];
  for (const id of ["subject", "body"]) {
    const el = document.getElementById(id);
    el.addEventListener("input", () => heard.push(id + ":input"));
    el.addEventListener("change", () => heard.push(id + ":change"));
  }
  document.getElementById("editor").addEventListener("input", () => heard.push("editor:input"));
</script>`;

const SOURCE = `<!doctype html><meta charset="utf-8"><title>原帖</title>
<h1 id="t">抓来的标题</h1><div id="c">抓来的第一行<br>抓来的第二行</div>`;

const MEDIA = `<!doctype html><meta charset="utf-8"><title>媒体</title>
<embed src="/flash/game.swf" width="500" height="350">
<object data="/flash/movie.swf" width="400" height="300"><param name="movie" value="/flash/movie.swf"></object>
<object width="320" height="240"><param name="src" value="/media/clip.rm"></object>
<video width="640" height="360" controls><source src="/media/a.mp4" type="video/mp4"><source src="/media/a.webm" type="video/webm"></video>
<audio src="/media/song.mp3" controls></audio>
<iframe src="/player/embed/42" width="560" height="315" allowfullscreen></iframe>
<iframe src="/ads/banner.html" width="300" height="50"></iframe>`;

const FRAMED = `<!doctype html><meta charset="utf-8"><title>旧式编辑器</title>
<iframe id="editor" src="/editor-frame.html" width="500" height="200"></iframe>`;
const EDITOR_FRAME = `<!doctype html><meta charset="utf-8"><body>旧的回复</body>
<script>document.designMode = "on";</script>`;

const NOTES = ["好帖，顶！", "谢谢分享\n收藏了", "路过"];

describe("fill forms from Chromium", () => {
  let sandbox, server, browser, form;
  const post = () => sandbox.sharedPost();

  before(async () => {
    sandbox = new Sandbox("chromium-fill").stage();
    sandbox.setConfig("Common", { KeepSubject: 0, RandomNote: 1, GetAutoSave: 1, RetoreMainWin: 0 });
    sandbox.writeCategory(0, [
      ["第一帖", "一行\n二行"],
      ["第二帖", "内容二"],
    ]);
    sandbox.writeQuickNotes(NOTES);
    server = await startServer({ "/form.html": FORM, "/source.html": SOURCE, "/media.html": MEDIA, "/framed.html": FRAMED, "/editor-frame.html": EDITOR_FRAME });
    await sandbox.startVellum();
    browser = await launchChromium(sandbox);
    form = await openPage(browser, `${server.origin}/form.html`);
  });

  after(async () => {
    await browser?.context.close().catch(() => {});
    await server?.close();
    await sandbox?.cleanup();
  });

  test("before Vellum has a post, set title says so in the page", async () => {
    const r = await menu(browser, form, "SetTitle.htm", { selector: "#subject", info: { editable: true } });
    assert.equal(r.ok, false);
    assert.equal(r.shown, "page");
    assert.equal(await form.page.inputValue("#subject"), "");
    assert.ok((await noticeText(browser, form)).length > 0);
  });

  test("set title and set content fill the fields, and the next post follows", async () => {
    // A post captured from another page becomes Vellum's current post.
    const source = await openPage(browser, `${server.origin}/source.html`);
    await selectText(source.page, "#t");
    assert.equal((await menu(browser, source, "GetTitle.htm")).ok, true);
    await selectText(source.page, "#c");
    assert.equal((await menu(browser, source, "GetContent.htm")).ok, true);
    await waitFor("the captured post", () => post()?.title === "抓来的标题" && post().content.includes("抓来的第二行"));
    await source.page.close();

    await form.page.bringToFront();
    const title = await menu(browser, form, "SetTitle.htm", { selector: "#subject", info: { editable: true } });
    assert.equal(title.ok, true, title.error);
    assert.equal(await form.page.inputValue("#subject"), "抓来的标题");

    const content = await menu(browser, form, "SetContent.htm", { selector: "#body", info: { editable: true } });
    assert.equal(content.ok, true, content.error);
    assert.equal(await form.page.inputValue("#body"), "抓来的第一行\n抓来的第二行");
    assert.deepEqual(await form.page.evaluate(() => heard), ["subject:input", "subject:change", "body:input", "body:change"]);
    // The captured post was the last of the category: the next one is the first.
    await waitFor("the next post", () => post()?.title === "第一帖");
  });

  test("set content into a contenteditable replaces its text by insertion", async () => {
    await form.page.evaluate(() => (heard.length = 0));
    const r = await menu(browser, form, "SetContent.htm", { selector: "#editor p", info: { editable: true } });
    assert.equal(r.ok, true, r.error);
    assert.equal(r.kind, "contenteditable");
    assert.equal(await form.page.evaluate(() => document.getElementById("editor").innerText.trim()), "一行\n二行");
    assert.ok((await form.page.evaluate(() => heard)).includes("editor:input"));
    await waitFor("the post after it", () => post()?.title === "第二帖");
  });

  test("set title into an editor that is a frame in design mode", async () => {
    const framed = await openPage(browser, `${server.origin}/framed.html`);
    const frame = framed.page.frame({ url: /editor-frame/ });
    await frame.waitForFunction(() => document.designMode === "on");
    await frame.click("body", { button: "right" });
    // The frame the browser would name in the click data.
    const frameId = await browser.worker.evaluate(async (tabId) => {
      const results = await chrome.scripting.executeScript({ target: { tabId, allFrames: true }, func: () => location.pathname });
      return results.find((r) => r.result === "/editor-frame.html").frameId;
    }, framed.tabId);
    const r = await menu(browser, framed, "SetTitle.htm", { info: { frameId, editable: true, frameUrl: frame.url() } });
    assert.equal(r.ok, true, r.error);
    assert.equal(await frame.evaluate(() => document.body.innerText.trim()), post().title);
    await framed.page.close();
  });

  test("a set entry on something that cannot be edited is refused in the page", async () => {
    const r = await menu(browser, form, "SetContent.htm", { selector: "#plain" });
    assert.equal(r.ok, false);
    assert.match(await noticeText(browser, form), /输入框/);
    // Refused before anything was sent: Vellum stays on its post.
    assert.equal(post().title, "第二帖");
  });

  test("quick reply in random mode puts one of the notes into the field", async () => {
    await form.page.fill("#body", "");
    const r = await menu(browser, form, "QuickNote.htm", { selector: "#body", info: { editable: true } });
    assert.equal(r.ok, true, r.error);
    const value = await form.page.inputValue("#body");
    assert.ok(NOTES.includes(value), value);
  });

  test("quick reply in chosen mode shows the notes and fills the one picked", async () => {
    sandbox.setConfig("Common", { RandomNote: 0 });
    await form.page.fill("#body", "");
    const opened = extensionPage(browser, "QuickNote.htm");
    const done = menu(browser, form, "QuickNote.htm", { selector: "#body", info: { editable: true } });
    // An entry that ends before the picker opens has failed: say why.
    const picker = await Promise.race([opened, done.then((r) => assert.fail(`the entry ended first: ${JSON.stringify(r)}`))]);
    await picker.waitForSelector("ol.notes button");
    assert.deepEqual(await picker.$$eval("ol.notes button", (b) => b.map((x) => x.textContent)), NOTES);
    await picker.click("ol.notes li:nth-child(2) button");
    const r = await done;
    assert.equal(r.ok, true, r.error);
    assert.equal(await form.page.inputValue("#body"), "谢谢分享\n收藏了");
    await waitFor("the picker to close", () => picker.isClosed());
  });

  test("the media list page lists the page's embedded media with copy buttons", async () => {
    const media = await openPage(browser, `${server.origin}/media.html`);
    const r = await menu(browser, media, "ListFlash.htm");
    assert.equal(r.ok, true, r.error);
    const list = await extensionPage(browser, "ListFlash.htm");
    await list.waitForSelector("tbody tr");
    const rows = await list.$$eval("tbody tr", (trs) => trs.map((tr) => [...tr.children].slice(1, 4).map((td) => td.textContent)));
    const o = server.origin;
    // The advertising frame is no player and stays out.
    assert.deepEqual(rows.map(([kind, , address]) => [kind, address]), [
      ["Flash / 插件", `${o}/flash/game.swf`],
      ["Flash / 插件", `${o}/flash/movie.swf`],
      ["Flash / 插件", `${o}/media/clip.rm`],
      ["视频", `${o}/media/a.mp4`],
      ["视频", `${o}/media/a.webm`],
      ["音频", `${o}/media/song.mp3`],
      ["播放器", `${o}/player/embed/42`],
    ]);
    assert.deepEqual(rows.map(([, size]) => size).filter((_, i) => i !== 5), ["500×350", "400×300", "320×240", "640×360", "640×360", "560×315"]);
    assert.match(await list.textContent("#source"), /媒体/);
    await list.click("tbody tr:nth-child(1) button");
    await waitFor("the copy to be confirmed", async () => (await list.textContent("tbody tr:nth-child(1) button")) === "已复制");
  });
});
