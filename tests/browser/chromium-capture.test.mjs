// From a forum page to Vellum in headless Chromium: the menu as registered,
// the "get" entries through the native messaging host into the running
// program, and the post on disk when the program ends.
import assert from "node:assert/strict";
import { after, before, describe, test } from "node:test";
import { launchChromium, menu, noticeText, openPage, selectText } from "./lib/chromium.mjs";
import { startServer } from "./lib/server.mjs";
import { Sandbox, waitFor } from "./lib/vellum.mjs";

const ARTICLE = `<!doctype html><meta charset="utf-8"><title>论坛</title>
<h2 id="title">  一篇
  好文章 </h2>
<div id="post"><p>第一段 <b>粗体</b> <i>斜体</i> <u>下划线</u> <a href="/t/1.html">帖子链接</a></p><p>第二段<br>换行 <img src="/img/40x30/p.svg"></p></div>
<p>看这里：<a id="link" href="/thread?id=7&amp;p=2"><span>第七帖</span></a>
<a id="piclink" href="/big.html"><img id="linked" src="/img/120x80/b.svg" alt="大图"></a></p>
<p><b>整段粗体里的<span id="part">一部分</span>文字</b></p>
<img id="pic" src="/img/40x30/p.svg"><img src="/img/40x30/p.svg">
<img src="data:image/gif;base64,R0lGODlhAQABAAAAACw=">
<iframe id="gallery" src="/gallery.html" width="200" height="100"></iframe>`;
const GALLERY = `<!doctype html><meta charset="utf-8"><img src="/img/64x48/g.svg"><img src="/img/120x80/b.svg">`;

const CAPTIONS = ["→获取标题", "→获取内容", "←设置标题", "←设置内容", "→提取图片", "→提取链接", "∈提取Flash及媒体文件", "∈提取全部图片", "⊙快速回复"];

describe("capture from Chromium", () => {
  let sandbox, server, browser, tab;
  const lines = () => sandbox.sharedPost().content.replace(/\r\n/g, "\n").split("\n");

  before(async () => {
    sandbox = new Sandbox("chromium-capture").stage();
    sandbox.setConfig("Common", { NoConvert: 0, Convert2UBB: 1, GetAutoSave: 1, RetoreMainWin: 0 });
    server = await startServer({ "/article.html": ARTICLE, "/gallery.html": GALLERY });
    await sandbox.startVellum();
    browser = await launchChromium(sandbox);
    tab = await openPage(browser, `${server.origin}/article.html`);
    await tab.page.waitForFunction(() => [...document.images].every((i) => i.complete));
    await tab.page.frame({ url: /gallery/ }).waitForFunction(() => [...document.images].every((i) => i.complete));
  });

  after(async () => {
    await browser?.context.close().catch(() => {});
    await server?.close();
    await sandbox?.cleanup();
  });

  test("the menu holds the nine registered entries in their contexts", async () => {
    const state = await browser.worker.evaluate(() => self.vellumMenuState);
    assert.equal(state.source, "host");
    assert.deepEqual(state.items.map((i) => i.title), CAPTIONS);
    assert.deepEqual(
      state.items.map((i) => i.contexts.join("+")),
      ["selection", "all", "editable", "editable", "image", "image+link", "all", "all", "editable"],
    );
  });

  test("the selected heading becomes the title, on one line", async () => {
    await selectText(tab.page, "#title");
    const r = await menu(browser, tab, "GetTitle.htm", { selector: "#title" });
    assert.equal(r.ok, true, r.error);
    assert.equal(r.via, "host");
    await waitFor("the title in Vellum", () => sandbox.sharedPost()?.title === "一篇 好文章");
  });

  test("a link is taken with the text of the element the menu was opened on", async () => {
    const href = `${server.origin}/thread?id=7&p=2`;
    const r = await menu(browser, tab, "GetHref.htm", { selector: "#link", info: { linkUrl: href } });
    assert.equal(r.ok, true);
    await waitFor("the link tag", () => lines().at(-1) === `[url=${href}]第七帖[/url]`);
  });

  test("an image inside a link: the link entry takes the address with the image's text", async () => {
    const href = `${server.origin}/big.html`;
    const r = await menu(browser, tab, "GetHref.htm", { selector: "#linked", info: { linkUrl: href, srcUrl: `${server.origin}/img/120x80/b.svg` } });
    assert.equal(r.ok, true);
    await waitFor("the link tag", () => lines().at(-1) === `[url=${href}]大图[/url]`);
  });

  test("an image is taken by its address", async () => {
    const src = `${server.origin}/img/120x80/b.svg`;
    const r = await menu(browser, tab, "GetPic.htm", { selector: "#linked", info: { srcUrl: src } });
    assert.equal(r.ok, true);
    await waitFor("the image tag", () => lines().at(-1) === `[img]${src}[/img]`);
  });

  test("content follows the conversion setting: UBB where Convent was never written", async () => {
    await selectText(tab.page, "#post");
    const r = await menu(browser, tab, "GetContent.htm", { selector: "#post" });
    assert.equal(r.ok, true);
    const o = server.origin;
    const ubb = [
      `第一段 [b]粗体[/b] [i]斜体[/i] [u]下划线[/u] [url=${o}/t/1.html]帖子链接[/url]`,
      "",
      "第二段",
      `换行 [img]${o}/img/40x30/p.svg[/img]`,
    ];
    // Appended below the link and image lines captured before.
    await waitFor("the UBB content", () => lines().slice(-ubb.length).join("\n") === ubb.join("\n"));
  });

  test("Convent 0 takes plain text, Convent 2 the selection's HTML", async () => {
    sandbox.setProgramDword("Convent", 0);
    await selectText(tab.page, "#post");
    assert.equal((await menu(browser, tab, "GetContent.htm")).ok, true);
    await waitFor("the plain content", () => lines().includes("第一段 粗体 斜体 下划线 帖子链接"));
    const plain = lines().slice(lines().indexOf("第一段 粗体 斜体 下划线 帖子链接"));
    assert.ok(plain.includes("第二段") && plain.includes("换行"), plain.join("|"));
    assert.ok(!plain.join("\n").includes("[b]"));

    sandbox.setProgramDword("Convent", 2);
    await selectText(tab.page, "#post");
    assert.equal((await menu(browser, tab, "GetContent.htm")).ok, true);
    const o = server.origin;
    await waitFor("the HTML content", () => {
      const html = sandbox.sharedPost().content;
      return html.includes("<b>粗体</b>") && html.includes(`<a href="${o}/t/1.html">帖子链接</a>`) && html.includes(`<img src="${o}/img/40x30/p.svg">`) && html.includes("<br>");
    });
  });

  test("UBB keeps the formatting and link around a selection made inside them", async () => {
    sandbox.setProgramDword("Convent", 1);
    await selectText(tab.page, "#part");
    assert.equal((await menu(browser, tab, "GetContent.htm")).ok, true);
    await waitFor("the bold part", () => lines().at(-1) === "[b]一部分[/b]");
    await selectText(tab.page, "#piclink");
    assert.equal((await menu(browser, tab, "GetContent.htm")).ok, true);
    const o = server.origin;
    await waitFor("the linked image", () => lines().at(-1) === `[url=${o}/big.html][img]${o}/img/120x80/b.svg[/img][/url]`);
  });

  test("with nothing selected, get content is refused in the page and sends nothing", async () => {
    const before = sandbox.sharedPost();
    await tab.page.evaluate(() => getSelection().removeAllRanges());
    const r = await menu(browser, tab, "GetContent.htm");
    assert.equal(r.ok, false);
    assert.match(await noticeText(browser, tab), /选中/);
    assert.deepEqual(sandbox.sharedPost(), before);
  });

  test("each content capture saved the post: it is on disk when Vellum ends", async () => {
    const shared = sandbox.sharedPost();
    assert.equal(await sandbox.stopVellum(), 0);
    const posts = sandbox.readCategory(0);
    const last = posts.at(-1);
    assert.equal(last.title, "一篇 好文章");
    assert.equal(last.content, shared.content);
  });

  test("with Vellum not running, the host starts it and the capture arrives", async () => {
    assert.equal(sandbox.programsStartedElsewhere().length, 0);
    await selectText(tab.page, "#title");
    const r = await menu(browser, tab, "GetTitle.htm");
    assert.equal(r.ok, true, r.error);
    assert.equal(r.via, "host");
    await waitFor("the title in the started program", () => sandbox.sharedPost()?.title === "一篇 好文章");
    assert.equal(sandbox.programsStartedElsewhere().length, 1);
  });

  test("all pictures of the page and its frames go to Vellum with their natural sizes, each address once", async () => {
    const r = await menu(browser, tab, "GetAllPic.htm");
    const o = server.origin;
    assert.equal(r.ok, true, r.error);
    assert.equal(r.via, "host");
    assert.equal(r.count, 3);
    assert.equal(r.text, `BBSGETALLPIC:${o}/img/40x30/p.svg;40;30$$${o}/img/120x80/b.svg;120;80$$${o}/img/64x48/g.svg;64;48$$`);
  });
});
