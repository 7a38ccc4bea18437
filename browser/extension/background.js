// The background of the Vellum extension: the service worker in Chromium, the
// event page in Firefox. It builds the context menu from the entries that
// Vellum registers, runs an entry when it is clicked, and talks to the program
// through the native messaging host "vellum.browser_host". Where the host is
// missing or fails, a "get" entry still reaches a running Vellum through the
// clipboard, which the program polls. Every failure is told to the user.
const api = globalThis.browser ?? globalThis.chrome;
const HOST = "vellum.browser_host";

// The entries as Vellum registers them; used until the host has answered.
const DEFAULT_ENTRIES = [
  { caption: " →获取标题", page: "GetTitle.htm", contexts: 0x10 },
  { caption: " →获取内容", page: "GetContent.htm", contexts: null },
  { caption: " ←设置标题", page: "SetTitle.htm", contexts: 0x04 },
  { caption: " ←设置内容", page: "SetContent.htm", contexts: 0x04 },
  { caption: " →提取图片", page: "GetPic.htm", contexts: 0x02 },
  { caption: " →提取链接", page: "GetHref.htm", contexts: 0x22 },
  { caption: " ∈提取Flash及媒体文件", page: "ListFlash.htm", contexts: null },
  { caption: " ∈提取全部图片", page: "GetAllPic.htm", contexts: null },
  { caption: " ⊙快速回复", page: "QuickNote.htm", contexts: 0x04 },
];

// The conversion that applies when Vellum cannot be asked: its own defaults.
const DEFAULT_SETTINGS = {
  convent: 1,
  templates: { UBBUrl: "[url=$1]$2[/url]", UBBImg: "[img]$1[/img]" },
};

const MESSAGES = {
  hostMissing:
    "找不到 Vellum 浏览器助手（vellum.browser_host）。请先运行一次 Vellum：它在每次启动时为浏览器登记助手。",
  hostFailed: (why) => `Vellum 浏览器助手出错：${why}`,
  viaClipboard: (why) =>
    `${why}\n已改为把命令放到剪贴板上：正在运行的 Vellum 会在 0.3 秒内取走它。`,
  clipboardFailed: (why, clip) => `${why}\n放到剪贴板上也失败了：${clip}`,
  noSelection: "请先选中要获取的文字。",
  noLink: "没有找到链接：请在链接上打开菜单。",
  noImage: "没有找到图片：请在图片上打开菜单。",
  noImages: "本页没有可提取的图片。",
  noEditable: "请在输入框、文本框或可编辑区域上打开菜单。",
  fieldGone: "打开菜单时的那个输入框已经不在页面上了：什么也没有填入。请在要填的输入框上重新打开菜单。",
  fieldHidden: "打开菜单时的那个输入框现在看不见了：什么也没有填入。请在要填的输入框上重新打开菜单。",
  busy: "Vellum 正忙，还没有确认收到；命令已经交给它，它空闲下来就会执行（只执行一次）。",
  noTitle: "Vellum 当前的帖子没有标题。",
  noContent: "Vellum 当前的帖子没有内容。",
  noNotes: "没有快速回复内容：请在 Vellum 的“参数设置 → 快速回帖”中添加。",
  noPage: "此页面不允许扩展读写（浏览器自己的页面、扩展商店等）。",
  unknownEntry: (page) => `未知的菜单项：${page}`,
  nextFailed: (why) => `内容已填入，但没能让 Vellum 转到下一帖：${why}`,
};

class UserError extends Error {}

// ---- the native messaging host ----

class HostError extends Error {
  constructor(message, missing) {
    super(message);
    this.missing = missing;
  }
}

function hostMissingText(text) {
  return /not found|no such native application/i.test(text);
}

async function askHost(message) {
  let reply;
  try {
    reply = await api.runtime.sendNativeMessage(HOST, message);
  } catch (e) {
    const text = String(e && e.message ? e.message : e);
    if (hostMissingText(text)) throw new HostError(MESSAGES.hostMissing, true);
    throw new HostError(MESSAGES.hostFailed(text), false);
  }
  // The host's own errors are sentences for the user already.
  if (!reply || reply.ok !== true) throw new HostError(reply && reply.error ? String(reply.error) : MESSAGES.hostFailed("没有回应"), false);
  if (message.type !== "menu") menuFromHostLater().catch(() => {});
  return reply;
}

// ---- the context menu ----

const CONTEXT_BITS = [
  [0x01, "page"],
  [0x02, "image"],
  [0x04, "editable"],
  [0x10, "selection"],
  [0x20, "link"],
];

// No mask: every context, since a page-only item would vanish whenever text is
// selected.
function menuContexts(mask) {
  if (mask === null || mask === undefined || !Number.isFinite(Number(mask))) return ["all"];
  const contexts = CONTEXT_BITS.filter(([bit]) => Number(mask) & bit).map(([, name]) => name);
  return contexts.length ? contexts : ["all"];
}

const menuState = { source: "none", items: [] };
let menuBuilding = null;

// A menu built from the defaults (the host was not there at browser start)
// is built again from the registered entries once the host answers.
async function menuFromHostLater() {
  if (menuState.source === "host" || menuBuilding) return;
  const stored = (await api.storage.session.get("menuSource")).menuSource;
  if (stored === "host") {
    menuState.source = "host";
    return;
  }
  rebuildMenu().catch(() => {});
}

function rebuildMenu() {
  if (menuBuilding) return menuBuilding;
  menuBuilding = (async () => {
    let entries = DEFAULT_ENTRIES;
    let source = "defaults";
    try {
      const reply = await askHost({ type: "menu" });
      if (Array.isArray(reply.entries) && reply.entries.length) {
        entries = reply.entries;
        source = "host";
      }
    } catch {
      // the defaults stay until the host answers
    }
    await api.contextMenus.removeAll();
    const items = [];
    const used = new Set();
    for (const entry of entries) {
      let id = String(entry.page);
      for (let n = 2; used.has(id); n++) id = `${entry.page}#${n}`;
      used.add(id);
      const item = { id, title: String(entry.caption).replace(/^\s+/, ""), contexts: menuContexts(entry.contexts) };
      await new Promise((resolve) => {
        api.contextMenus.create(item, () => {
          void api.runtime.lastError;
          resolve();
        });
      });
      items.push({ ...item, page: String(entry.page) });
    }
    menuState.source = source;
    menuState.items = items;
    await api.storage.session.set({ menuSource: source, menuItems: items });
    return menuState;
  })().finally(() => {
    menuBuilding = null;
  });
  return menuBuilding;
}

// ---- the page side ----

async function inFrame(tabId, frameId, op, arg) {
  const call = () =>
    api.scripting.executeScript({
      target: { tabId, frameIds: [frameId] },
      func: (o, a) => (globalThis.__vellum ? globalThis.__vellum.run(o, a) : { ok: false, error: "absent" }),
      args: [op, arg ?? null],
    });
  let results;
  try {
    results = await call();
    if (!results || !results[0] || !results[0].result || results[0].result.error === "absent") {
      // A page opened before the extension was loaded has no content script yet.
      await api.scripting.executeScript({ target: { tabId, frameIds: [frameId] }, files: ["content.js"] });
      results = await call();
    }
  } catch (e) {
    return { ok: false, error: "nopage", detail: String(e && e.message ? e.message : e) };
  }
  return (results && results[0] && results[0].result) || { ok: false, error: "nopage" };
}

async function inAllFrames(tabId, op) {
  try {
    await api.scripting.executeScript({ target: { tabId, allFrames: true }, files: ["content.js"] });
    const results = await api.scripting.executeScript({
      target: { tabId, allFrames: true },
      func: (o) => (globalThis.__vellum ? globalThis.__vellum.run(o, null) : null),
      args: [op],
    });
    // The top frame first, then the others in the browser's order.
    return results
      .slice()
      .sort((a, b) => (a.frameId === 0 ? -1 : b.frameId === 0 ? 1 : 0))
      .map((r) => r.result)
      .filter((r) => r && r.ok);
  } catch {
    const only = await inFrame(tabId, 0, op);
    return only.ok ? [only] : [];
  }
}

// What a page may be shown of a text: local paths and the extension's own
// addresses say where Vellum lives and that it is installed, so they become
// "…". The full text stays on the extension's notice page.
function pageText(text) {
  return String(text)
    .replace(/\b(?:file|chrome-extension|moz-extension):\/\/\S*/g, "…")
    .replace(/(^|[^\w.:/\\%-])~?\/[^\s，。；：、）)”"'<>]*/g, "$1…");
}

// Full texts for the notice page, by id; the page cannot read session storage.
async function keepNotice(text) {
  const id = `${Date.now()}-${Math.random().toString(36).slice(2, 8)}`;
  await api.storage.session.set({ [`notice:${id}`]: String(text) });
  return id;
}

async function openNotice(id) {
  const key = `notice:${id}`;
  if (!(await api.storage.session.get(key))[key]) return { ok: false };
  await api.tabs.create({ url: api.runtime.getURL(`Notice.htm?id=${encodeURIComponent(id)}`) });
  return { ok: true };
}

// A notice in the page where it can be shown (without local paths), else a
// desktop notification, else the extension's notice page.
async function tell(ctx, text, level) {
  if (ctx && ctx.tabId !== undefined && ctx.tabId >= 0) {
    const safe = pageText(text);
    const detail = safe === text ? undefined : await keepNotice(text);
    const shown = await inFrame(ctx.tabId, 0, "notice", { text: safe, level, detail });
    if (shown.ok) return "page";
  }
  try {
    await api.notifications.create({
      type: "basic",
      iconUrl: api.runtime.getURL("icons/vellum-128.png"),
      title: "Vellum",
      message: text,
    });
    return "notification";
  } catch {
    await openNotice(await keepNotice(text));
    return "tab";
  }
}

// ---- the clipboard, where the host cannot deliver ----

async function copyOffscreen(text) {
  if (!api.offscreen) throw new Error("no offscreen documents");
  const url = "offscreen.html";
  const exists =
    api.runtime.getContexts &&
    (await api.runtime.getContexts({ contextTypes: ["OFFSCREEN_DOCUMENT"] })).length > 0;
  if (!exists) {
    try {
      await api.offscreen.createDocument({
        url,
        reasons: ["CLIPBOARD"],
        justification: "A command for Vellum goes on the clipboard when its browser helper is missing.",
      });
    } catch (e) {
      if (!/single offscreen/i.test(String(e && e.message))) throw e;
    }
  }
  const reply = await api.runtime.sendMessage({ to: "offscreen", op: "copy", text });
  if (!reply || !reply.ok) throw new Error((reply && reply.error) || "copy refused");
  return "offscreen";
}

async function copyHere(text) {
  if (typeof document === "undefined" || !navigator.clipboard) throw new Error("no clipboard here");
  await navigator.clipboard.writeText(text);
  return "background";
}

async function copyToClipboard(ctx, text) {
  const errors = [];
  const ways = [() => copyOffscreen(text), () => copyHere(text)];
  if (ctx.tabId >= 0) {
    ways.push(async () => {
      const r = await inFrame(ctx.tabId, ctx.frameId, "copy", { text });
      if (!r.ok) throw new Error(r.detail || r.error);
      return "page";
    });
  }
  for (const way of ways) {
    try {
      return await way();
    } catch (e) {
      errors.push(String(e && e.message ? e.message : e));
    }
  }
  throw new Error(errors[errors.length - 1] || "clipboard");
}

// A clipboard command, through the host, else through the clipboard.
// Once the host has handed the command to Vellum, it is Vellum's: a program
// too busy to confirm runs it when it wakes, so the clipboard is used only
// when nothing was handed over, and the command runs exactly once.
async function sendCommand(ctx, text) {
  try {
    const reply = await askHost({ type: "command", text });
    if (reply.queued === false) await tell(ctx, MESSAGES.busy, "info");
    return { ok: true, via: "host", queued: reply.queued !== false, text };
  } catch (e) {
    if (!(e instanceof HostError)) throw e;
    let how;
    try {
      how = await copyToClipboard(ctx, text);
    } catch (clip) {
      throw new UserError(MESSAGES.clipboardFailed(e.message, clip.message));
    }
    await tell(ctx, MESSAGES.viaClipboard(e.message), "info");
    return { ok: true, via: "clipboard", how, hostError: e.message, text };
  }
}

async function conversionSettings() {
  try {
    const reply = await askHost({ type: "settings" });
    return { convent: Number.isInteger(reply.convent) ? reply.convent : 1, templates: reply.templates || {} };
  } catch {
    return DEFAULT_SETTINGS;
  }
}

// ---- the entries ----

function expectPage(result) {
  if (result.ok) return result;
  if (result.error === "nopage") throw new UserError(MESSAGES.noPage);
  if (result.error === "noeditable") throw new UserError(MESSAGES.noEditable);
  if (result.error === "gone") throw new UserError(MESSAGES.fieldGone);
  if (result.error === "hidden") throw new UserError(MESSAGES.fieldHidden);
  throw new UserError(result.error);
}

async function selection(ctx) {
  const r = await inFrame(ctx.tabId, ctx.frameId, "selection");
  // Where the page refuses scripts, the browser's own copy of the selection
  // (without line breaks) still serves.
  const text = r.ok ? r.text : ctx.info.selectionText || "";
  if (!text.trim()) throw new UserError(MESSAGES.noSelection);
  return text;
}

async function fillField(ctx, text) {
  return expectPage(await inFrame(ctx.tabId, ctx.frameId, "fill", { text }));
}

async function currentPost() {
  try {
    return await askHost({ type: "post" });
  } catch (e) {
    throw new UserError(e.message);
  }
}

function decodeNote(note) {
  return String(note).split("$1310$").join("\n").replace(/\r\n?/g, "\n");
}

const pendingPicks = new Map();

const ENTRIES = {
  async "GetTitle.htm"(ctx) {
    const text = (await selection(ctx)).replace(/\s*[\r\n]+\s*/g, " ").trim();
    return sendCommand(ctx, `BBSGETTITLE:${text}`);
  },

  async "GetContent.htm"(ctx) {
    // An image alone is content too, though its selection has no text.
    const { convent, templates } = await conversionSettings();
    const r = await inFrame(ctx.tabId, ctx.frameId, "content", { mode: convent, templates });
    const text = (r.ok ? r.text : ctx.info.selectionText || "").replace(/\s+$/, "");
    if (!text.trim()) throw new UserError(MESSAGES.noSelection);
    return sendCommand(ctx, `BBSGETCONTENT:${text}`);
  },

  async "GetPic.htm"(ctx) {
    const r = await inFrame(ctx.tabId, ctx.frameId, "image", { srcUrl: ctx.info.srcUrl || "" });
    const src = r.ok ? r.src : ctx.info.srcUrl;
    if (!src) throw new UserError(MESSAGES.noImage);
    return sendCommand(ctx, `BBSGETIMG:${src}$SPLIT$`);
  },

  async "GetHref.htm"(ctx) {
    const r = await inFrame(ctx.tabId, ctx.frameId, "link", { linkUrl: ctx.info.linkUrl || "" });
    let href = r.ok ? r.href : ctx.info.linkUrl;
    let text = r.ok ? r.text : ctx.info.linkText || "";
    if (!href) throw new UserError(MESSAGES.noLink);
    return sendCommand(ctx, `BBSGETHREF:${href}$SPLIT$${text}`);
  },

  async "GetAllPic.htm"(ctx) {
    const frames = await inAllFrames(ctx.tabId, "images");
    if (!frames.length) throw new UserError(MESSAGES.noPage);
    const seen = new Set();
    let payload = "";
    for (const { images } of frames) {
      for (const { src, width, height } of images) {
        // ";" and "$$" separate the fields and the entries.
        const address = src.replace(/;/g, "%3B").replace(/\$/g, "%24");
        if (seen.has(address)) continue;
        seen.add(address);
        payload += `${address};${width};${height}$$`;
      }
    }
    if (!seen.size) throw new UserError(MESSAGES.noImages);
    return { ...(await sendCommand(ctx, `BBSGETALLPIC:${payload}`)), count: seen.size };
  },

  async "ListFlash.htm"(ctx) {
    const frames = await inAllFrames(ctx.tabId, "media");
    if (!frames.length) throw new UserError(MESSAGES.noPage);
    const items = [];
    const seen = new Set();
    for (const f of frames) {
      for (const item of f.items) {
        if (seen.has(item.address)) continue;
        seen.add(item.address);
        items.push(item);
      }
    }
    const id = `${Date.now()}-${Math.random().toString(36).slice(2, 8)}`;
    await api.storage.session.set({
      [`media:${id}`]: { title: ctx.tab.title || "", url: ctx.tab.url || ctx.info.pageUrl || "", items },
    });
    const where = { url: api.runtime.getURL(`ListFlash.htm?id=${id}`) };
    // Beside the page it lists, in the page's own window.
    if (ctx.tab.windowId !== undefined && ctx.tabId >= 0) {
      Object.assign(where, { windowId: ctx.tab.windowId, index: ctx.tab.index + 1, openerTabId: ctx.tabId });
    }
    const opened = await api.tabs.create(where);
    return { ok: true, tabId: opened.id, count: items.length };
  },

  async "SetTitle.htm"(ctx) {
    const post = await currentPost();
    if (!post.title) throw new UserError(MESSAGES.noTitle);
    const r = await fillField(ctx, post.title);
    return { ok: true, kind: r.kind };
  },

  async "SetContent.htm"(ctx) {
    const post = await currentPost();
    if (!post.content) throw new UserError(MESSAGES.noContent);
    const r = await fillField(ctx, post.content);
    // Setting the content means the post is done: Vellum moves to the next one.
    try {
      await askHost({ type: "next" });
    } catch (e) {
      throw new UserError(MESSAGES.nextFailed(e.message));
    }
    return { ok: true, kind: r.kind, next: true };
  },

  async "QuickNote.htm"(ctx) {
    let reply;
    try {
      reply = await askHost({ type: "notes" });
    } catch (e) {
      throw new UserError(e.message);
    }
    const notes = (reply.notes || []).map(decodeNote);
    if (!notes.some((n) => n.trim())) throw new UserError(MESSAGES.noNotes);
    if (reply.random !== false) {
      const usable = notes.filter((n) => n.trim());
      const note = usable[Math.floor(Math.random() * usable.length)];
      const r = await fillField(ctx, note);
      return { ok: true, kind: r.kind, note };
    }
    // The user picks: check the field first, so the list is not shown for nothing.
    const probe = await inFrame(ctx.tabId, ctx.frameId, "fill", { text: "", probe: true });
    if (!probe.ok && probe.error !== "nopage") expectPage(probe);
    const id = `${Date.now()}-${Math.random().toString(36).slice(2, 8)}`;
    await api.storage.session.set({ [`pick:${id}`]: { notes, tabId: ctx.tabId, frameId: ctx.frameId } });
    const done = new Promise((resolve) => pendingPicks.set(id, resolve));
    // A tab beside the form: picking closes it and the form's tab comes back.
    const where = { url: api.runtime.getURL(`QuickNote.htm?id=${id}`) };
    if (ctx.tab.windowId !== undefined) {
      Object.assign(where, { windowId: ctx.tab.windowId, index: ctx.tab.index + 1, openerTabId: ctx.tabId });
    }
    const picker = await api.tabs.create(where);
    const closed = (tabId) => {
      if (tabId !== picker.id) return;
      api.tabs.onRemoved.removeListener(closed);
      const resolve = pendingPicks.get(id);
      if (resolve) {
        pendingPicks.delete(id);
        api.storage.session.remove(`pick:${id}`);
        resolve({ ok: true, cancelled: true });
      }
    };
    api.tabs.onRemoved.addListener(closed);
    return done;
  },
};

// The picker page's choice: fill the field the menu was opened on.
async function pickNote(id, index, pickerTabId) {
  const key = `pick:${id}`;
  const request = (await api.storage.session.get(key))[key];
  if (!request) return { ok: false, error: "这个选择已经过期，请重新打开菜单。" };
  const note = request.notes[index];
  const ctx = { tabId: request.tabId, frameId: request.frameId, info: {} };
  let result;
  try {
    const r = await fillField(ctx, note);
    result = { ok: true, kind: r.kind, note };
  } catch (e) {
    result = { ok: false, error: e.message };
    await tell(ctx, e.message, "error");
  }
  await api.storage.session.remove(key);
  const resolve = pendingPicks.get(id);
  pendingPicks.delete(id);
  if (resolve) resolve(result);
  if (result.ok) await api.tabs.update(request.tabId, { active: true }).catch(() => {});
  if (pickerTabId !== undefined) await api.tabs.remove(pickerTabId).catch(() => {});
  return result;
}

// Runs one entry as a click with this click data does, and resolves when it is
// done: {ok: true, ...} or {ok: false, error} after the error was shown.
async function runEntry(page, info, tab) {
  info = { ...(info || {}) };
  if (typeof tab === "number") tab = await api.tabs.get(tab);
  tab = tab || {};
  const item = menuState.items.find((i) => i.id === page);
  const name = item ? item.page : String(page).replace(/#\d+$/, "");
  const ctx = { info, tab, tabId: tab.id ?? -1, frameId: info.frameId ?? 0 };
  try {
    const entry = ENTRIES[name];
    if (!entry) throw new UserError(MESSAGES.unknownEntry(name));
    if (ctx.tabId < 0 && name !== "ListFlash.htm") throw new UserError(MESSAGES.noPage);
    return await entry(ctx);
  } catch (e) {
    const text = e instanceof UserError || e instanceof HostError ? e.message : `出错了：${e && e.message ? e.message : e}`;
    const shown = await tell(ctx, text, "error").catch(() => "none");
    return { ok: false, error: text, shown };
  }
}

self.vellumMenu = (page, info, tab) => runEntry(page, info, tab);
self.vellumMenuState = menuState;

api.contextMenus.onClicked.addListener((info, tab) => {
  runEntry(info.menuItemId, info, tab);
});

// The menu outlives a background that was put to sleep; what it was built
// from comes back from session storage.
api.storage.session.get(["menuSource", "menuItems"]).then((stored) => {
  if (menuState.source === "none" && stored.menuSource) {
    menuState.source = stored.menuSource;
    menuState.items = stored.menuItems || [];
  }
});

api.runtime.onInstalled.addListener(() => rebuildMenu());
api.runtime.onStartup.addListener(() => rebuildMenu());

api.runtime.onMessage.addListener((message, sender, sendResponse) => {
  if (!message || message.to !== "background") return false;
  const answer = (p) => {
    Promise.resolve(p).then(sendResponse, (e) => sendResponse({ ok: false, error: String(e && e.message) }));
    return true;
  };
  if (message.op === "pickNote") {
    return answer(pickNote(message.id, message.index, sender.tab ? sender.tab.id : undefined));
  }
  if (message.op === "status") {
    return answer(
      askHost({ type: "menu" }).then(
        (r) => ({ ok: true, entries: r.entries.length }),
        (e) => ({ ok: false, error: e.message }),
      ),
    );
  }
  if (message.op === "openNotice") return answer(openNotice(String(message.id)));
  if (message.op === "notice") {
    const key = `notice:${message.id}`;
    return answer(api.storage.session.get(key).then((r) => ({ ok: key in r, text: r[key] })));
  }
  if (message.op === "rebuildMenu") return answer(rebuildMenu().then((s) => ({ ok: true, source: s.source })));
  return false;
});
