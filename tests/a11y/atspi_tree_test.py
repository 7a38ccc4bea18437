"""Walks the accessible tree of the main window, the settings dialog (every
page), the download window and the export window over the real AT-SPI bus,
and fails on any control that takes the focus without a name, or with a role
that is not a control's, and on the named controls whose role is wrong."""
import sys

from vellum_a11y import (Atspi, BusEvents, Vellum, check, descendants, find, focus, keys,
                         showing, tab_to,
                         wait_for)

R = Atspi.Role
TEXT = {R.TEXT, R.ENTRY, R.PASSWORD_TEXT}
BUTTON = {R.PUSH_BUTTON}
# A focusable object in one of these roles is a control that lost its kind.
NOT_A_CONTROL = {R.INVALID, R.UNKNOWN, R.FILLER, R.PANEL, R.LABEL, R.REDUNDANT_OBJECT,
                 R.STATIC, R.SECTION, R.GROUPING, R.IMAGE}

MAIN_WINDOW = [
    ("新建帖子", BUTTON), ("保存当前帖子", BUTTON), ("删除当前贴子", BUTTON),
    ("参数设置", BUTTON), ("关于软件", BUTTON), ("查看使用帮助", BUTTON),
    ("远程提交", BUTTON), ("插入链接", BUTTON), ("插入图片", BUTTON),
    ("插入Flash动画", BUTTON), ("插入Real Player视频", BUTTON),
    ("插入Media Player视频", BUTTON), ("在浏览器中预览帖子", BUTTON), ("窗体停靠模式", BUTTON),
    ("标题：", TEXT | {R.LABEL}), ("帖子分类", {R.PAGE_TAB_LIST}),
    ("原创", {R.PAGE_TAB}), ("转载", {R.PAGE_TAB}), ("第一帖", {R.LIST_ITEM}),
    ("（无标题）", {R.LIST_ITEM}),
]
SETTINGS_PAGES = {
    "基本设置": [("窗口总在最前面", {R.CHECK_BOX}), ("确 定", BUTTON), ("取 消", BUTTON)],
    "获取设置": [("转换为UBB格式", {R.RADIO_BUTTON})],
    "发贴设置": [("保持当前主题", {R.RADIO_BUTTON})],
    "快速回帖": [("回复内容", TEXT), ("增 加", BUTTON)],
    "帖子分类": [("分类列表", {R.LIST, R.TREE, R.TREE_TABLE, R.TABLE}),
                 ("添加新分类", BUTTON)],
    "UBB语法": [("链接标签", TEXT), ("图片标签", TEXT), ("Flash动画标签", TEXT),
                ("Real Player视频标签", TEXT), ("Media Player视频标签", TEXT),
                ("恢复默认值", BUTTON)],
    "远程提交": [("接受帖子数据的网上脚本文件地址：(ASP,JSP,PHP等)", TEXT)],
}
DOWNLOAD = [("要下载的图片", {R.LIST}), ("保存到:", TEXT), ("浏览", BUTTON),
            ("开始下载", BUTTON), ("退 出", BUTTON)]
EXPORT = [("导出规则", TEXT), ("普通文本", {R.RADIO_BUTTON}), ("SQL语句", {R.RADIO_BUTTON}),
          ("开 始", BUTTON), ("退 出", BUTTON)]

failures = []


def labelled(obj):
    for relation in obj.get_relation_set():
        if relation.get_relation_type() == Atspi.RelationType.LABELLED_BY:
            return True
    return False


def walk(window, expected, where):
    """Every focusable control has a name and a control's role; the expected
    ones are there with their roles."""
    seen = {}
    for obj in descendants(window):
        if not showing(obj):
            continue
        role, name = obj.get_role(), obj.get_name()
        seen.setdefault(name, set()).add(role)
        if not obj.get_state_set().contains(Atspi.StateType.FOCUSABLE):
            continue
        label = "%s: %s '%s'" % (where, obj.get_role_name(), name)
        # On Linux Qt names a combo box by its value; its label is a relation.
        if not name.strip() and not (role == R.COMBO_BOX and labelled(obj)):
            failures.append(label + " has no name")
        if role in NOT_A_CONTROL:
            failures.append(label + " takes the focus but is no control")
    for name, roles in expected:
        found = seen.get(name)
        if not found:
            failures.append("%s: no control named '%s'" % (where, name))
        elif not (found & roles):
            failures.append("%s: '%s' has the roles %s" % (
                where, name, sorted(Atspi.role_get_name(r) for r in found)))


def main(exe):
    posts = {0: [("第一帖", "[img]http://127.0.0.1:9/a.png[/img]"), ("", "")],
             1: [("another", "text")]}
    vellum = Vellum(exe, posts=posts)
    events = BusEvents()
    try:
        main_window = vellum.window("VellumV4.3.1")
        check(main_window.get_role() == R.FRAME,
              "the main window is a frame, not a " + main_window.get_role_name())
        walk(main_window, MAIN_WINDOW, "main window")
        lists = [o for o in descendants(main_window) if o.get_role() == R.LIST and showing(o)]
        check(lists and lists[0].get_name() == "原创", "the list is named after its tab")
        check(lists[0].get_description() == "共有2个帖子", "the list says its count: "
              + lists[0].get_description())

        focus(find(main_window, R.PUSH_BUTTON, "参数设置"))
        keys("space")
        settings = vellum.window("参数设置")
        tabs = [o for o in descendants(settings) if o.get_role() == R.PAGE_TAB]
        check(len(tabs) == 7, "seven settings pages, found %d" % len(tabs))
        for tab in tabs:
            page = tab.get_name()
            tab.do_action(0)
            expected = SETTINGS_PAGES.get(page, [])
            wait_for(lambda: find(settings, name=expected[0][0]), 10, "the page " + page)
            walk(settings, expected, "settings, " + page)
        keys("Escape")
        wait_for(lambda: not showing(settings), 10, "the settings to close")

        # The memo's menu, from the keyboard: its last item downloads.
        tab_to(events, "原创", {R.LIST})
        keys("Home")
        memo = [o for o in descendants(main_window) if o.get_name() == "内容"
                and o.get_role() != R.LABEL][0]
        focus(memo)
        keys("shift+F10", "Up", "Return")
        download = vellum.window("下载文件")
        walk(download, DOWNLOAD, "download")
        keys("Escape")
        wait_for(lambda: not showing(download), 10, "the download window to close")

        tab_to(events, "原创", {R.LIST})
        keys("Menu", "Up", "Return")
        export = vellum.window("自定义导出数据")
        walk(export, EXPORT, "export")
        keys("Escape")
        wait_for(lambda: not showing(export), 10, "the export window to close")
    finally:
        code = vellum.close()
        vellum.cleanup()
    for failure in failures:
        print("FAIL: " + failure)
    check(not failures, "%d controls are not accessible" % len(failures))
    check(code == 0, "the program ended with %s" % code)
    print("1 passed, 0 failed")


if __name__ == "__main__":
    main(sys.argv[1])
