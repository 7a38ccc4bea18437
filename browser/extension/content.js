// Runs in every frame of every page. It remembers the element on which the
// context menu was opened (the browser tells the background neither the link
// text nor the form field) and does the page-side work of the menu entries.
// The background calls into it through scripting.executeScript with
// `globalThis.__vellum.run(op, arg)`; every call answers {ok, ...} and never
// throws, so a failure reaches the user as a notice.
(() => {
  if (globalThis.__vellum) return; // injected again into a frame that has it
  const api = globalThis.browser ?? globalThis.chrome;

  // Only the user's own right-click counts: a page can fire contextmenu events
  // of its own at any element, hidden ones included. Listening on the window
  // in the capture phase from the document's start, no page script runs
  // before this one.
  let target = null;
  let clickPoint = null;
  addEventListener(
    "contextmenu",
    (e) => {
      if (!e.isTrusted) return;
      const path = e.composedPath ? e.composedPath() : [];
      target = path.find((n) => n instanceof Element) || e.target;
      clickPoint = { x: e.clientX, y: e.clientY };
    },
    true,
  );

  const BLOCKS = new Set([
    "ADDRESS", "ARTICLE", "ASIDE", "BLOCKQUOTE", "CENTER", "DD", "DIV", "DL", "DT",
    "FIELDSET", "FIGCAPTION", "FIGURE", "FOOTER", "FORM", "H1", "H2", "H3", "H4", "H5",
    "H6", "HEADER", "HR", "LI", "MAIN", "NAV", "OL", "PRE", "SECTION", "TABLE", "TR",
    "UL",
  ]);
  const SKIPPED = new Set(["SCRIPT", "STYLE", "NOSCRIPT", "TEMPLATE", "HEAD", "TITLE"]);
  const FORMATS = { B: "b", STRONG: "b", I: "i", EM: "i", U: "u", INS: "u" };

  // A template's placeholders are replaced one after the other over the whole
  // text, as the program's own tag builder does.
  function fillTemplate(template, address, description) {
    return String(template ?? "").split("$1").join(address).split("$2").join(description);
  }

  function editableText(el) {
    if (el instanceof HTMLTextAreaElement || el instanceof HTMLInputElement) {
      try {
        const { selectionStart: a, selectionEnd: b } = el;
        if (a !== null && b !== null && b > a) return el.value.substring(a, b);
      } catch {
        // input types without a text selection
      }
    }
    return "";
  }

  function selectedText() {
    const sel = getSelection();
    const text = sel ? sel.toString() : "";
    if (text) return text;
    return editableText(document.activeElement) || editableText(target);
  }

  // The selection as a fragment, wrapped in clones of the formatting and link
  // elements it sits in, so that a selection inside one bold word stays bold.
  function selectionFragment() {
    const sel = getSelection();
    if (!sel || sel.rangeCount === 0 || sel.isCollapsed) return null;
    const out = document.createDocumentFragment();
    for (let i = 0; i < sel.rangeCount; i++) {
      const range = sel.getRangeAt(i);
      let frag = range.cloneContents();
      let node = range.commonAncestorContainer;
      if (node.nodeType !== Node.ELEMENT_NODE) node = node.parentElement;
      for (; node && node !== document.body && node !== document.documentElement; node = node.parentElement) {
        if (FORMATS[node.tagName] || (node.tagName === "A" && node.hasAttribute("href"))) {
          const wrap = node.cloneNode(false);
          wrap.append(frag);
          frag = document.createDocumentFragment();
          frag.append(wrap);
        }
      }
      out.append(frag);
    }
    return out;
  }

  // UBB for a fragment: bold, italic, underline, links and images through the
  // templates, line breaks for <br> and block ends, a blank line between
  // paragraphs.
  function toUbb(fragment, templates) {
    let out = "";
    const breakTo = (n) => {
      if (!out) return;
      const trailing = out.length - out.replace(/\n+$/, "").length;
      if (trailing < n) out = out.replace(/[ \t]+$/, "") + "\n".repeat(n - trailing);
    };
    const walk = (node, pre) => {
      if (node.nodeType === Node.TEXT_NODE) {
        let t = node.nodeValue;
        if (!pre) {
          t = t.replace(/[ \t\n\r\f]+/g, " ");
          if (out === "" || /[\n ]$/.test(out)) t = t.replace(/^ /, "");
        }
        out += t;
        return;
      }
      if (node.nodeType !== Node.ELEMENT_NODE && node.nodeType !== Node.DOCUMENT_FRAGMENT_NODE) return;
      const tag = node.tagName || "";
      if (SKIPPED.has(tag)) return;
      if (tag === "BR") {
        out = out.replace(/[ \t]+$/, "") + "\n";
        return;
      }
      if (tag === "IMG") {
        const src = node.currentSrc || node.src;
        if (src && !unsafeAddress(src, true)) out += fillTemplate(templates.UBBImg, src, node.alt || "");
        return;
      }
      const children = (p) => {
        for (const c of node.childNodes) walk(c, p);
      };
      if (tag === "A" && node.hasAttribute("href") && !unsafeAddress(node.href, false)) {
        const saved = out;
        out = "";
        children(pre);
        const text = out.trim();
        out = saved + fillTemplate(templates.UBBUrl, node.href, text || node.href);
        return;
      }
      if (FORMATS[tag]) {
        const inner = (() => {
          const saved = out;
          out = "";
          children(pre);
          const r = out;
          out = saved;
          return r;
        })();
        if (inner.trim()) out += `[${FORMATS[tag]}]${inner}[/${FORMATS[tag]}]`;
        else out += inner;
        return;
      }
      const paragraph = tag === "P";
      const block = paragraph || BLOCKS.has(tag);
      if (block) breakTo(paragraph ? 2 : 1);
      children(pre || tag === "PRE" || tag === "TEXTAREA");
      if (block) breakTo(paragraph ? 2 : 1);
      if (tag === "TD" || tag === "TH") out += " ";
    };
    walk(fragment, false);
    return out
      .split("\n")
      .map((l) => l.replace(/[ \t]+$/, ""))
      .join("\n")
      .replace(/\n{3,}/g, "\n\n")
      .replace(/^\n+|\n+$/g, "");
  }

  // An address that runs script where the post is shown (javascript:,
  // vbscript:, data: other than an image) is no address to keep. Browsers
  // ignore blanks and control characters inside a scheme, so they are
  // ignored here too.
  function unsafeAddress(value, image) {
    const bare = String(value).replace(/[\u0000-\u0020\u007f]+/g, "").toLowerCase();
    if (/^(javascript|vbscript|livescript):/.test(bare)) return true;
    if (!bare.startsWith("data:")) return false;
    // An SVG runs its scripts wherever it is a document of its own; as the
    // source of an image it is only drawn.
    return !(image ? /^data:image\//.test(bare) : /^data:image\/(?!svg)/.test(bare));
  }

  const URL_ATTRIBUTES = new Set(["href", "src", "srcset", "action", "formaction", "data", "poster", "background", "cite", "codebase", "dynsrc", "lowsrc", "longdesc", "usemap", "ping", "xlink:href", "manifest"]);
  // Elements whose only purpose is script, navigation or taking over the page.
  const DROPPED = "script, style, noscript, template, base, meta, link, frame, frameset, applet, animate, set, animatemotion, animatetransform, handler, listener, foreignobject";

  // The selection's own HTML, with addresses made absolute (the text is going
  // to another site) and without anything that runs script where it is shown:
  // on… handlers, script addresses, scripts. The formatting stays.
  function toHtml(fragment) {
    const box = document.createElement("div");
    box.append(fragment);
    box.querySelectorAll(DROPPED).forEach((n) => n.remove());
    for (const n of box.querySelectorAll("*")) {
      const image = n.tagName === "IMG" || n.tagName === "SOURCE" || n.tagName === "PICTURE";
      for (const { name, value } of [...n.attributes]) {
        const lower = name.toLowerCase();
        const drop =
          lower.startsWith("on") ||
          lower === "srcdoc" ||
          lower === "formaction" ||
          ((URL_ATTRIBUTES.has(lower) || lower.endsWith(":href")) && (lower === "srcset" ? value.split(",").some((part) => unsafeAddress(part.trim(), image)) : unsafeAddress(value, image && lower !== "href")));
        if (drop) n.removeAttribute(name);
      }
    }
    box.querySelectorAll("[href]").forEach((n) => {
      if (n.href !== undefined && typeof n.href === "string") n.setAttribute("href", n.href);
    });
    box.querySelectorAll("img[src], video[src], audio[src], source[src], embed[src], iframe[src]").forEach((n) => {
      n.setAttribute("src", n.src);
    });
    return box.innerHTML;
  }

  function content({ mode, templates }) {
    const plain = selectedText();
    if (mode === 0) return { ok: true, text: plain };
    const fragment = selectionFragment();
    if (!fragment) return { ok: true, text: plain }; // a selection inside a form field
    return { ok: true, text: mode === 2 ? toHtml(fragment) : toUbb(fragment, templates || {}) };
  }

  function elementText(el) {
    const text = (el.innerText || el.textContent || "").replace(/\s+/g, " ").trim();
    if (text) return text;
    const img = el.querySelector && el.querySelector("img[alt], img[title]");
    return img ? (img.alt || img.title || "").trim() : (el.title || "").trim();
  }

  function link({ linkUrl }) {
    const anchor = target && target.closest ? target.closest("a[href], area[href]") : null;
    if (anchor && (!linkUrl || anchor.href === linkUrl)) return { ok: true, href: anchor.href, text: elementText(anchor) };
    if (!linkUrl) return { ok: false, error: "nolink" };
    // The remembered element is not the link the browser names: find it by address.
    const same = [...document.querySelectorAll("a[href], area[href]")].find((a) => a.href === linkUrl);
    return { ok: true, href: linkUrl, text: same ? elementText(same) : "" };
  }

  function image({ srcUrl }) {
    if (srcUrl) return { ok: true, src: srcUrl };
    const img = target && target.closest ? target.closest("img") : null;
    if (img && (img.currentSrc || img.src)) return { ok: true, src: img.currentSrc || img.src };
    return { ok: false, error: "noimage" };
  }

  function images() {
    const list = [];
    for (const img of document.images) {
      const src = img.currentSrc || img.src;
      if (!src || /^(data|blob|javascript):/i.test(src)) continue;
      list.push({ src, width: img.naturalWidth || 0, height: img.naturalHeight || 0 });
    }
    return { ok: true, images: list };
  }

  function mediaSize(el) {
    const w = parseInt(el.getAttribute("width"), 10) || Math.round(el.getBoundingClientRect().width) || 0;
    const h = parseInt(el.getAttribute("height"), 10) || Math.round(el.getBoundingClientRect().height) || 0;
    return { width: w, height: h };
  }

  const PLAYER = /(embed|player|video|\.swf|flash|media|\/v\/|play)/i;

  function media() {
    const items = [];
    const abs = (u) => {
      try {
        return new URL(u, document.baseURI).href;
      } catch {
        return u;
      }
    };
    const add = (kind, el, address) => {
      if (!address) return;
      address = abs(address);
      if (/^(javascript|about):/i.test(address)) return;
      items.push({ kind, address, ...mediaSize(el) });
    };
    for (const el of document.querySelectorAll("embed[src]")) {
      if (!el.closest("object")) add("embed", el, el.getAttribute("src"));
    }
    for (const el of document.querySelectorAll("object")) {
      let address = el.getAttribute("data");
      if (!address) {
        const p = el.querySelector("param[name=movie i], param[name=src i], param[name=url i], param[name=filename i]");
        address = p && p.getAttribute("value");
      }
      if (!address) {
        const inner = el.querySelector("embed[src]");
        address = inner && inner.getAttribute("src");
      }
      add("object", el, address);
    }
    for (const el of document.querySelectorAll("video, audio")) {
      const kind = el.tagName.toLowerCase();
      const seen = new Set();
      const own = el.getAttribute("src");
      if (own) {
        seen.add(abs(own));
        add(kind, el, own);
      }
      for (const s of el.querySelectorAll("source[src]")) {
        const a = abs(s.getAttribute("src"));
        if (!seen.has(a)) {
          seen.add(a);
          add(kind, el, a);
        }
      }
    }
    for (const el of document.querySelectorAll("iframe[src]")) {
      const src = el.getAttribute("src");
      if (el.hasAttribute("allowfullscreen") || PLAYER.test(src)) add("iframe", el, src);
    }
    return { ok: true, items };
  }

  // The field to fill: the editable element of the user's own right-click,
  // nothing else (not the focused element, which a page can move at will).
  function editableAt(start) {
    // A whole document in design mode is one editor, as older forum editors
    // build it in a frame.
    if (start.ownerDocument.designMode === "on" && start.ownerDocument.body) return start.ownerDocument.body;
    const field = start.closest ? start.closest("textarea, input") : null;
    if (field && !field.disabled && !field.readOnly) {
      if (field instanceof HTMLTextAreaElement) return field;
      if (/^(text|search|url|email|tel|)$/i.test(field.getAttribute("type") || "")) return field;
    }
    if (start.isContentEditable) {
      let root = start;
      while (root.parentElement && root.parentElement.isContentEditable) root = root.parentElement;
      return root;
    }
    return null;
  }

  // Smallest size and opacity at which a field counts as seen.
  const MIN_SIDE = 4;
  const MIN_OPACITY = 0.1;

  // Whether the user can see the field now: rendered, not transparent, not
  // tiny, in the window, and not covered or clipped away (the hit test at its
  // visible middle, or where the user clicked, finds it).
  function visible(el) {
    const rect = el.getBoundingClientRect();
    if (rect.width < MIN_SIDE || rect.height < MIN_SIDE) return false;
    if (el.checkVisibility && !el.checkVisibility({ visibilityProperty: true, checkVisibilityCSS: true })) return false;
    let opacity = 1;
    for (let n = el; n && n.nodeType === Node.ELEMENT_NODE; n = n.parentElement || (n.getRootNode() && n.getRootNode().host)) {
      const style = getComputedStyle(n);
      if (style.display === "none" || style.visibility === "hidden" || style.visibility === "collapse") return false;
      opacity *= Number(style.opacity);
    }
    if (opacity < MIN_OPACITY) return false;
    const left = Math.max(rect.left, 0);
    const top = Math.max(rect.top, 0);
    const right = Math.min(rect.right, innerWidth);
    const bottom = Math.min(rect.bottom, innerHeight);
    if (right - left < MIN_SIDE || bottom - top < MIN_SIDE) return false;
    if (el === el.ownerDocument.body) return true;
    const root = el.getRootNode();
    const hits = (x, y) => {
      const hit = (root.elementFromPoint ? root : document).elementFromPoint(x, y);
      return !!hit && (hit === el || el.contains(hit));
    };
    if (clickPoint && clickPoint.x >= left && clickPoint.x < right && clickPoint.y >= top && clickPoint.y < bottom && hits(clickPoint.x, clickPoint.y)) return true;
    return hits((left + right) / 2, (top + bottom) / 2);
  }

  function fillTarget() {
    if (!target) return { error: "noeditable" };
    if (!target.isConnected) return { error: "gone" };
    const el = editableAt(target);
    if (!el) return { error: "noeditable" };
    if (!visible(el)) return { error: "hidden" };
    return { el };
  }

  // Input and textarea take the value through the prototype's setter, so that
  // scripts that wrap the value property (React and the like) see the change,
  // then hear input and change. A contenteditable takes an insertion, which
  // editors listen to as typing.
  function fill({ text, probe }) {
    const { el, error } = fillTarget();
    if (!el) return { ok: false, error };
    if (probe) return { ok: true, kind: el.tagName.toLowerCase() };
    if (el instanceof HTMLInputElement || el instanceof HTMLTextAreaElement) {
      const value = el instanceof HTMLInputElement ? text.replace(/\r?\n/g, " ") : text.replace(/\r\n?/g, "\n");
      const proto = el instanceof HTMLInputElement ? HTMLInputElement.prototype : HTMLTextAreaElement.prototype;
      Object.getOwnPropertyDescriptor(proto, "value").set.call(el, value);
      el.focus();
      el.dispatchEvent(new Event("input", { bubbles: true }));
      el.dispatchEvent(new Event("change", { bubbles: true }));
      return { ok: true, kind: el.tagName.toLowerCase() };
    }
    el.focus();
    const sel = getSelection();
    const range = document.createRange();
    range.selectNodeContents(el);
    sel.removeAllRanges();
    sel.addRange(range);
    const value = text.replace(/\r\n?/g, "\n");
    // Line by line with line breaks between, as Shift+Enter types them: one
    // block with <br>, not a paragraph per line.
    // The editing commands either work from the first call or not at all; only
    // then are the nodes inserted by hand, so nothing is inserted twice.
    let editing = false;
    try {
      editing = document.execCommand(value === "" ? "delete" : "insertText", false, value.split("\n")[0]);
      if (editing) {
        value
          .split("\n")
          .slice(1)
          .forEach((line) => {
            document.execCommand("insertLineBreak");
            if (line) document.execCommand("insertText", false, line);
          });
      }
    } catch {
      editing = false;
    }
    if (!editing) {
      // Without the editing command: the same text as nodes, and the event an
      // editor would have heard.
      range.deleteContents();
      const frag = document.createDocumentFragment();
      value.split("\n").forEach((line, i) => {
        if (i) frag.append(document.createElement("br"));
        frag.append(document.createTextNode(line));
      });
      range.insertNode(frag);
      el.dispatchEvent(new InputEvent("input", { bubbles: true, inputType: "insertText", data: value }));
    }
    return { ok: true, kind: "contenteditable" };
  }

  // A small notice in the page's top corner, in a closed shadow root: the
  // page's styles leave it alone and its scripts cannot read it. Only this
  // script holds the root. Where the full text is longer than what a page may
  // be shown (local paths), a button opens it on the extension's own page.
  let noticeHost = null;
  let noticeRoot = null;
  function notice({ text, level, detail }) {
    if (window !== window.top) return { ok: false, error: "frame" };
    if (!noticeHost || !noticeHost.isConnected) {
      noticeHost = document.createElement("div");
      noticeRoot = noticeHost.attachShadow({ mode: "closed" });
      (document.body || document.documentElement).append(noticeHost);
    }
    const root = noticeRoot;
    const host = noticeHost;
    const error = level === "error";
    root.innerHTML = `<style>
      .box{position:fixed;top:12px;right:12px;z-index:2147483647;max-width:380px;
        font:14px/1.5 "WenQuanYi Micro Hei","Noto Sans CJK SC",sans-serif;color:#222;
        background:${error ? "#fdecea" : "#eef6ee"};border:1px solid ${error ? "#d9534f" : "#5b9b5b"};
        border-radius:6px;box-shadow:0 2px 10px rgba(0,0,0,.25);padding:10px 30px 10px 12px;cursor:pointer;
        white-space:pre-wrap}
      .t{font-weight:bold;margin-bottom:2px}.x{position:absolute;top:4px;right:9px;color:#666}
      button{font:inherit;margin-top:6px;padding:1px 10px;cursor:pointer}
      </style><div class="box" role="alert"><span class="x">×</span><div class="t">Vellum</div><div class="m"></div></div>`;
    root.querySelector(".m").textContent = text;
    if (detail) {
      const more = document.createElement("button");
      more.textContent = "详细信息";
      more.addEventListener("click", (e) => {
        e.stopPropagation();
        if (e.isTrusted) api.runtime.sendMessage({ to: "background", op: "openNotice", id: detail }).catch(() => {});
      });
      root.querySelector(".box").append(more);
    }
    root.querySelector(".box").addEventListener("click", () => host.remove());
    clearTimeout(notice.timer);
    notice.timer = setTimeout(() => host.remove(), error ? 12000 : 6000);
    return { ok: true };
  }

  // What the notice shows now, for the extension (the page cannot ask).
  function shownNotice() {
    if (!noticeHost || !noticeHost.isConnected) return { ok: true, text: null };
    return { ok: true, text: noticeRoot.querySelector(".m").textContent, detail: !!noticeRoot.querySelector("button") };
  }

  // The clipboard from the page: the asynchronous API where the page may use
  // it, else a copy from a hidden field; the page's selection and focus are
  // put back afterwards.
  async function copy({ text }) {
    try {
      await navigator.clipboard.writeText(text);
      return { ok: true, how: "clipboard" };
    } catch (e) {
      const active = document.activeElement;
      const sel = getSelection();
      const ranges = [];
      for (let i = 0; sel && i < sel.rangeCount; i++) ranges.push(sel.getRangeAt(i));
      const area = document.createElement("textarea");
      area.value = text;
      area.style.cssText = "position:fixed;top:0;left:0;width:1px;height:1px;opacity:0";
      (document.body || document.documentElement).append(area);
      area.select();
      let done = false;
      try {
        done = document.execCommand("copy");
      } catch {
        done = false;
      }
      area.remove();
      if (active && active.focus) active.focus();
      if (sel) {
        sel.removeAllRanges();
        ranges.forEach((r) => sel.addRange(r));
      }
      return done ? { ok: true, how: "execCommand" } : { ok: false, error: String(e && e.message ? e.message : e) };
    }
  }

  const ops = { selection: () => ({ ok: true, text: selectedText() }), content, link, image, images, media, fill, notice, shownNotice, copy };

  globalThis.__vellum = {
    async run(op, arg) {
      try {
        if (!ops[op]) return { ok: false, error: `unknown operation ${op}` };
        return await ops[op](arg || {});
      } catch (e) {
        return { ok: false, error: String(e && e.message ? e.message : e) };
      }
    },
  };
})();
