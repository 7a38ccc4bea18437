// The full text of a notice: what the page was shown without local paths, or
// what could be shown neither in the page nor as a desktop notification.
const api = globalThis.browser ?? globalThis.chrome;
const id = new URLSearchParams(location.search).get("id");
api.runtime.sendMessage({ to: "background", op: "notice", id }).then((reply) => {
  document.getElementById("text").textContent = reply && reply.ok ? reply.text : "这条消息已经过期。";
});
