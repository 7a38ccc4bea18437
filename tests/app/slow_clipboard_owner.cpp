// A clipboard owner for tests: takes the CLIPBOARD selection with a text and
// answers every request for it only after a delay, as a busy program does.
//   slow_clipboard_owner DELAY_MS TEXT [--restore]
// --restore acts like a clipboard manager: when someone empties the
// clipboard, the owner takes it back once, with the same text.
// Prints "owning" on standard output once it holds the selection; ends when
// it loses the selection for good or after a minute.
#include <xcb/xcb.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <thread>

namespace {
xcb_atom_t atom(xcb_connection_t* c, const char* name) {
    xcb_intern_atom_reply_t* r =
        xcb_intern_atom_reply(c, xcb_intern_atom(c, 0, uint16_t(std::strlen(name)), name), nullptr);
    const xcb_atom_t a = r ? r->atom : xcb_atom_t(XCB_ATOM_NONE);
    std::free(r);
    return a;
}
} // namespace

int main(int argc, char** argv) {
    if (argc < 3)
        return 2;
    const int delayMs = std::atoi(argv[1]);
    const std::string text = argv[2];
    bool restore = argc > 3 && std::strcmp(argv[3], "--restore") == 0;

    xcb_connection_t* c = xcb_connect(nullptr, nullptr);
    if (xcb_connection_has_error(c))
        return 1;
    xcb_screen_t* screen = xcb_setup_roots_iterator(xcb_get_setup(c)).data;
    const xcb_window_t win = xcb_generate_id(c);
    xcb_create_window(c, XCB_COPY_FROM_PARENT, win, screen->root, 0, 0, 1, 1, 0,
                      XCB_WINDOW_CLASS_INPUT_ONLY, XCB_COPY_FROM_PARENT, 0, nullptr);
    const xcb_atom_t clipboard = atom(c, "CLIPBOARD");
    const xcb_atom_t utf8 = atom(c, "UTF8_STRING");
    const xcb_atom_t targets = atom(c, "TARGETS");
    xcb_set_selection_owner(c, win, clipboard, XCB_CURRENT_TIME);
    xcb_flush(c);
    std::printf("owning\n");
    std::fflush(stdout);

    const auto end = std::chrono::steady_clock::now() + std::chrono::minutes(1);
    while (std::chrono::steady_clock::now() < end) {
        xcb_generic_event_t* e = xcb_poll_for_event(c);
        if (!e) {
            if (xcb_connection_has_error(c))
                return 1;
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
            continue;
        }
        const uint8_t type = e->response_type & 0x7f;
        if (type == XCB_SELECTION_CLEAR) {
            std::free(e);
            if (!restore)
                return 0;
            restore = false;
            xcb_set_selection_owner(c, win, clipboard, XCB_CURRENT_TIME);
            xcb_flush(c);
            std::printf("restored\n");
            std::fflush(stdout);
            continue;
        }
        if (type == XCB_SELECTION_REQUEST) {
            const auto request = *reinterpret_cast<xcb_selection_request_event_t*>(e);
            std::this_thread::sleep_for(std::chrono::milliseconds(delayMs));
            xcb_selection_notify_event_t notify{};
            notify.response_type = XCB_SELECTION_NOTIFY;
            notify.time = request.time;
            notify.requestor = request.requestor;
            notify.selection = request.selection;
            notify.target = request.target;
            notify.property = request.property == XCB_ATOM_NONE ? request.target : request.property;
            if (request.target == utf8) {
                xcb_change_property(c, XCB_PROP_MODE_REPLACE, request.requestor, notify.property,
                                    utf8, 8, uint32_t(text.size()), text.data());
            } else if (request.target == targets) {
                const xcb_atom_t list[] = {targets, utf8};
                xcb_change_property(c, XCB_PROP_MODE_REPLACE, request.requestor, notify.property,
                                    XCB_ATOM_ATOM, 32, 2, list);
            } else {
                notify.property = XCB_ATOM_NONE;
            }
            xcb_send_event(c, 0, request.requestor, XCB_EVENT_MASK_NO_EVENT,
                           reinterpret_cast<const char*>(&notify));
            xcb_flush(c);
        }
        std::free(e);
    }
    return 0;
}
