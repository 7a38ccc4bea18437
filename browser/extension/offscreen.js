// Chromium's service worker has no clipboard: this hidden document copies for
// it. A document that is never focused cannot use navigator.clipboard, so the
// copy goes through a selected field.
chrome.runtime.onMessage.addListener((message, sender, sendResponse) => {
  if (!message || message.to !== "offscreen" || message.op !== "copy") return false;
  const area = document.getElementById("text");
  area.value = message.text;
  area.select();
  let ok = false;
  try {
    ok = document.execCommand("copy");
  } catch {
    ok = false;
  }
  area.value = "";
  sendResponse(ok ? { ok: true } : { ok: false, error: "copy refused" });
  return false;
});
