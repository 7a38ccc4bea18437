// The quick-reply picker: shows the notes that the background left for this
// request and hands the chosen one back; the background fills the field and
// closes this tab.
const api = globalThis.browser ?? globalThis.chrome;

async function choose(id, index) {
  const reply = await api.runtime.sendMessage({ to: "background", op: "pickNote", id, index });
  if (!reply || !reply.ok) fail((reply && reply.error) || "没能填入回复。");
}

function fail(text) {
  const list = document.getElementById("list");
  list.className = "error";
  list.textContent = text;
}

async function show() {
  const id = new URLSearchParams(location.search).get("id");
  const key = `pick:${id}`;
  const request = id && (await api.storage.session.get(key))[key];
  if (!request) {
    fail("这个选择已经过期，请在网页上重新打开菜单“快速回复”。");
    return;
  }
  const list = document.createElement("ol");
  list.className = "notes";
  request.notes.forEach((note, index) => {
    if (!note.trim()) return;
    const item = document.createElement("li");
    const button = document.createElement("button");
    button.textContent = note;
    button.dataset.index = String(index);
    button.addEventListener("click", () => choose(id, index));
    item.append(button);
    list.append(item);
  });
  document.getElementById("list").append(list);
  const buttons = [...list.querySelectorAll("button")];
  if (buttons.length) buttons[0].focus();
  addEventListener("keydown", (e) => {
    const n = Number(e.key);
    if (n >= 1 && n <= buttons.length) buttons[n - 1].click();
    if (e.key === "Escape") window.close();
  });
}

show();
