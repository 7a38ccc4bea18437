// Test pages on 127.0.0.1, on a port the system picks. Pages are registered by
// path; /img/<w>x<h>/<name>.svg is an image of that natural size.
import http from "node:http";

export async function startServer(pages = {}) {
  const server = http.createServer((req, res) => {
    const url = new URL(req.url, "http://127.0.0.1");
    const img = url.pathname.match(/^\/img\/(\d+)x(\d+)\/[\w.-]+\.svg$/);
    if (img) {
      const [, w, h] = img;
      res.writeHead(200, { "content-type": "image/svg+xml" });
      res.end(`<svg xmlns="http://www.w3.org/2000/svg" width="${w}" height="${h}"><rect width="${w}" height="${h}" fill="#c84"/></svg>`);
      return;
    }
    const page = pages[url.pathname];
    if (page === undefined) {
      res.writeHead(404, { "content-type": "text/plain" });
      res.end("not found");
      return;
    }
    res.writeHead(200, { "content-type": "text/html; charset=utf-8" });
    res.end(page);
  });
  await new Promise((resolve) => server.listen(0, "127.0.0.1", resolve));
  const { port } = server.address();
  return {
    origin: `http://127.0.0.1:${port}`,
    pages,
    close: () => new Promise((r) => server.close(r)),
  };
}
