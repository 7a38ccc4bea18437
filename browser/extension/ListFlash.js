// Lists the embedded media of the page the menu was opened on. The background
// leaves the list in session storage under the id given in the address.
const api = globalThis.browser ?? globalThis.chrome;

const KINDS = { embed: "Flash / 插件", object: "Flash / 插件", video: "视频", audio: "音频", iframe: "播放器" };

async function copyText(text) {
  try {
    await navigator.clipboard.writeText(text);
    return true;
  } catch {
    const area = document.createElement("textarea");
    area.value = text;
    document.body.append(area);
    area.select();
    const ok = document.execCommand("copy");
    area.remove();
    return ok;
  }
}

function copyButton(label, text) {
  const button = document.createElement("button");
  button.textContent = label;
  button.addEventListener("click", async () => {
    const ok = await copyText(text);
    button.textContent = ok ? "已复制" : "复制失败";
    setTimeout(() => (button.textContent = label), 2000);
  });
  return button;
}

async function show() {
  const id = new URLSearchParams(location.search).get("id");
  const key = `media:${id}`;
  const data = id && (await api.storage.session.get(key))[key];
  const list = document.getElementById("list");
  if (!data) {
    list.className = "error";
    list.textContent = "这份列表已经过期：请在网页上重新打开菜单“提取Flash及媒体文件”。";
    return;
  }
  document.title = `Flash及媒体文件 - ${data.title || data.url}`;
  document.getElementById("source").textContent = `${data.title ? data.title + " — " : ""}${data.url}`;
  if (!data.items.length) {
    list.className = "empty";
    list.textContent = "本页没有找到 Flash 或媒体文件。";
    return;
  }
  const table = document.createElement("table");
  table.innerHTML = "<thead><tr><th>#</th><th>类型</th><th>尺寸</th><th>地址</th><th></th></tr></thead>";
  const body = document.createElement("tbody");
  data.items.forEach((item, i) => {
    const row = document.createElement("tr");
    const cells = [
      String(i + 1),
      KINDS[item.kind] || item.kind,
      item.width && item.height ? `${item.width}×${item.height}` : "",
      item.address,
    ];
    cells.forEach((text, c) => {
      const td = document.createElement("td");
      td.textContent = text;
      if (c === 3) td.className = "address";
      row.append(td);
    });
    const td = document.createElement("td");
    td.append(copyButton("复制", item.address));
    row.append(td);
    body.append(row);
  });
  table.append(body);
  list.append(table);
  const all = copyButton("复制全部地址", data.items.map((i) => i.address).join("\n"));
  all.id = "copy-all";
  all.style.marginTop = "10px";
  list.append(all);
}

show();
