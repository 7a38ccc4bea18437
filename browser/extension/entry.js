// The page behind a menu entry that shows nothing by itself: it says what the
// entry does and whether the browser reaches Vellum's helper.
const api = globalThis.browser ?? globalThis.chrome;

const ENTRIES = {
  "GetTitle.htm": ["→获取标题", "把选中的文字作为帖子标题交给 Vellum（BBSGETTITLE:）。"],
  "GetContent.htm": ["→获取内容", "把选中的内容交给 Vellum（BBSGETCONTENT:），按设置保留为纯文本、转换为 UBB 或保留 HTML。"],
  "SetTitle.htm": ["←设置标题", "把 Vellum 当前帖子的标题填进打开菜单的输入框。"],
  "SetContent.htm": ["←设置内容", "把 Vellum 当前帖子的内容填进打开菜单的输入框，然后让 Vellum 转到下一帖。"],
  "GetPic.htm": ["→提取图片", "把图片地址交给 Vellum（BBSGETIMG:）。"],
  "GetHref.htm": ["→提取链接", "把链接地址和链接文字交给 Vellum（BBSGETHREF:）。"],
  "GetAllPic.htm": ["∈提取全部图片", "把本页全部图片的地址和原始尺寸交给 Vellum 的图片列表（BBSGETALLPIC:）。"],
};

const page = location.pathname.split("/").pop();
const [caption, what] = ENTRIES[page] || [page, ""];
document.title = `${caption} - Vellum`;
document.getElementById("caption").textContent = caption;
document.getElementById("what").textContent = what;

api.runtime.sendMessage({ to: "background", op: "status" }).then((reply) => {
  const status = document.getElementById("status");
  if (reply && reply.ok) {
    status.textContent = `已连接 Vellum 浏览器助手：菜单有 ${reply.entries} 项。`;
  } else {
    status.className = "error";
    status.textContent = (reply && reply.error) || "没有回应。";
  }
});
