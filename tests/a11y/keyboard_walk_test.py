"""A keyboard-only walkthrough of the real program: create, save, find, move,
delete and undo a post, switch categories and open every dialog, with keys
typed on the program's display. The accessibility bus is only watched, to
see where the focus is and what the windows show; it never acts."""
import http.server
import os
import socketserver
import sys
import threading

from vellum_a11y import (Atspi, BusEvents, Vellum, check, descendants, keys, showing, tab_to,
                         type_text, wait_for)

R = Atspi.Role


class Script(http.server.BaseHTTPRequestHandler):
    """The user's own script on the web: takes a post and says OK."""

    def do_POST(self):
        self.rfile.read(int(self.headers.get("Content-Length", 0)))
        self.send_response(200)
        self.send_header("Content-Length", "2")
        self.end_headers()
        self.wfile.write(b"ok")

    def log_message(self, *_):
        pass


def menu_pick(events, name, key="Down"):
    """Moves along an open menu to the item of that name and chooses it."""
    for _ in range(14):
        keys(key)
        if events.name() == name:
            keys("Return")
            return
    raise AssertionError("the menu has no item %s (last focus: %s)" % (name, events.name()))


def rows(vellum, tab):
    main = vellum.window("VellumV4.3.1")
    for obj in descendants(main):
        if obj.get_role() == R.LIST and obj.get_name() == tab and showing(obj):
            return [obj.get_child_at_index(i).get_name() for i in range(obj.get_child_count())]
    return None


def current_tab(vellum):
    main = vellum.window("VellumV4.3.1")
    for obj in descendants(main):
        if obj.get_role() == R.PAGE_TAB and obj.get_state_set().contains(Atspi.StateType.SELECTED):
            return obj.get_name()
    return None


def open_and_close(vellum, title, close_key="Escape"):
    window = vellum.window(title)
    keys(close_key)
    wait_for(lambda: not showing(window), 10, title + " to close")


def main(exe):
    server = socketserver.TCPServer(("127.0.0.1", 0), Script)
    threading.Thread(target=server.serve_forever, daemon=True).start()
    vellum = Vellum(exe, posts={0: [("first", "one")], 1: [("second", "two")]},
                    post_url="http://127.0.0.1:%d/post.php" % server.server_address[1])
    events = BusEvents()
    try:
        # The Tab order starts at the toolbar.
        keys("Tab")
        wait_for(lambda: events.focus() is not None, 10, "a focused control")
        tab_to(events, "新建帖子")
        keys("space")
        tab_to(events, "标题：")
        type_text("kbd post")
        tab_to(events, "内容")
        type_text("typed without a mouse")
        tab_to(events, "保存当前帖子", backwards=True)
        keys("space")
        wait_for(lambda: rows(vellum, "原创") == ["first", "kbd post"], 10, "the saved post")
        # The notice is heard as it appears, the focus staying in the window.
        events.wait_heard("object:state-changed:showing", R.NOTIFICATION, "帖子已保存!")

        # Find it through the list's menu (the Menu key). The save selected
        # the new row, which the list announces; the focus is still on the
        # button, so move on from there first.
        keys("Tab")
        tab_to(events, "原创", {R.LIST})
        keys("Menu")
        menu_pick(events, "查找帖子")
        vellum.window("查找帖子")
        type_text("kbd")
        keys("Return")
        title = lambda: [o for o in descendants(vellum.window("VellumV4.3.1"))
                         if o.get_name() == "标题：" and o.get_role() != R.LABEL][0]
        wait_for(lambda: Atspi.Text.get_text(title(), 0, -1) == "kbd post", 10,
                 "the found post in the editor")

        # Submit it; the status bar's outcome is heard.
        tab_to(events, "远程提交")
        keys("space")
        events.wait_heard("object:property-change:accessible-name", R.LABEL, "已提交")

        # Move it to the next category (Shift+F10 this time).
        tab_to(events, "原创", {R.LIST})
        keys("shift+F10")
        menu_pick(events, "转移帖子到...")
        vellum.window("转移帖子")
        keys("Return")
        wait_for(lambda: rows(vellum, "原创") == ["first"], 10, "the post to leave 原创")

        # Categories switch with Ctrl+PgDn and Ctrl+Tab, and back.
        keys("ctrl+Next")
        wait_for(lambda: current_tab(vellum) == "转载", 10, "the tab 转载")
        check(rows(vellum, "转载") == ["second", "kbd post"], "the moved post is in 转载")
        keys("ctrl+Tab")
        wait_for(lambda: current_tab(vellum) == "灌水", 10, "the tab 灌水")
        keys("ctrl+shift+Tab")
        wait_for(lambda: current_tab(vellum) == "转载", 10, "the tab 转载 again")

        # Delete it from the toolbar, then take the deletion back in the list.
        tab_to(events, "转载", {R.LIST})
        keys("End")
        tab_to(events, "删除当前贴子")
        keys("space")
        wait_for(lambda: rows(vellum, "转载") == ["second"], 10, "the deletion")
        tab_to(events, "转载", {R.LIST})
        keys("ctrl+z")
        wait_for(lambda: rows(vellum, "转载") == ["second", "kbd post"], 10, "the undo")

        # Every dialog opens and closes from the keyboard.
        tab_to(events, "参数设置")
        keys("space")
        open_and_close(vellum, "参数设置")
        tab_to(events, "关于软件")
        keys("space")
        open_and_close(vellum, "软件关于", "Return")
        tab_to(events, "插入链接")
        keys("space")
        open_and_close(vellum, "插入UBB标签")
        tab_to(events, "内容")
        keys("Menu")
        menu_pick(events, "查找替换")
        open_and_close(vellum, "查找替换字符串")
        keys("Menu")
        menu_pick(events, "下载所有图片", "Up")
        open_and_close(vellum, "下载文件")
        tab_to(events, "转载", {R.LIST})
        keys("Menu")
        menu_pick(events, "自定义导出", "Up")
        open_and_close(vellum, "自定义导出数据")
        # The tray menu's commands from a toolbar button.
        tab_to(events, "关于软件")
        keys("Menu")
        menu_pick(events, "关 于...")
        open_and_close(vellum, "软件关于", "Return")
    finally:
        server.shutdown()
        code = vellum.close()
        path = os.path.join(vellum.home, "date", "Date2.dat")
        saved = open(path, "rb").read() if os.path.exists(path) else b""
        vellum.cleanup()
    check(code == 0, "the program ended with %s" % code)
    check(b"kbd post$TCSPLIT$typed without a mouse" in saved,
          "the walked post is saved in its new category: %r" % saved)
    print("1 passed, 0 failed")


if __name__ == "__main__":
    main(sys.argv[1])
