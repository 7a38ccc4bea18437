#include "platform/XSelectionReader.h"

#include <xcb/xcb.h>

#include <chrono>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <poll.h>
#include <sys/eventfd.h>
#include <unistd.h>

namespace {
int64_t nowMs() {
    using namespace std::chrono;
    return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
}

uint32_t internAtom(xcb_connection_t* c, const char* name) {
    xcb_intern_atom_reply_t* reply =
        xcb_intern_atom_reply(c, xcb_intern_atom(c, 0, uint16_t(std::strlen(name)), name), nullptr);
    const uint32_t atom = reply ? reply->atom : uint32_t(XCB_ATOM_NONE);
    std::free(reply);
    return atom;
}

// 4 MB per request: large texts come in a few round trips.
constexpr uint32_t kChunkWords = 1u << 20;
} // namespace

XSelectionReader::XSelectionReader(int timeoutMs) : m_timeoutMs(timeoutMs) {
    int screenNumber = 0;
    xcb_connection_t* c = xcb_connect(nullptr, &screenNumber);
    if (!c || xcb_connection_has_error(c)) {
        if (c)
            xcb_disconnect(c);
        return;
    }
    xcb_screen_iterator_t it = xcb_setup_roots_iterator(xcb_get_setup(c));
    for (int i = 0; i < screenNumber && it.rem; ++i)
        xcb_screen_next(&it);
    if (!it.rem) {
        xcb_disconnect(c);
        return;
    }
    m_connection = c;
    m_window = xcb_generate_id(c);
    const uint32_t mask = XCB_EVENT_MASK_PROPERTY_CHANGE;
    xcb_create_window(c, XCB_COPY_FROM_PARENT, m_window, it.data->root, 0, 0, 1, 1, 0,
                      XCB_WINDOW_CLASS_INPUT_ONLY, XCB_COPY_FROM_PARENT, XCB_CW_EVENT_MASK, &mask);
    m_clipboardAtom = internAtom(c, "CLIPBOARD");
    m_utf8Atom = internAtom(c, "UTF8_STRING");
    m_propertyAtom = internAtom(c, "VELLUM_CLIPBOARD_TEXT");
    m_incrAtom = internAtom(c, "INCR");
    xcb_flush(c);
    m_wakeFd = ::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
    m_thread = std::thread([this] { run(); });
}

XSelectionReader::~XSelectionReader() {
    if (!m_connection)
        return;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_stop = true;
    }
    m_cv.notify_all();
    const uint64_t one = 1;
    if (m_wakeFd >= 0) [[maybe_unused]]
        ssize_t n = ::write(m_wakeFd, &one, sizeof one);
    m_thread.join();
    xcb_disconnect(m_connection);
    if (m_wakeFd >= 0)
        ::close(m_wakeFd);
}

void XSelectionReader::request() {
    if (!m_connection)
        return;
    std::lock_guard<std::mutex> lock(m_mutex);
    if (m_requested || m_reading)
        return;
    m_result.reset();
    m_requested = true;
    m_cv.notify_all();
}

bool XSelectionReader::busy() const {
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_requested || m_reading;
}

std::optional<XSelectionReader::Result> XSelectionReader::take(int waitMs) {
    std::unique_lock<std::mutex> lock(m_mutex);
    if (waitMs > 0)
        m_cv.wait_for(lock, std::chrono::milliseconds(waitMs),
                      [this] { return m_result.has_value() || (!m_requested && !m_reading); });
    return std::exchange(m_result, std::nullopt);
}

bool XSelectionReader::clear() {
    if (!m_connection || xcb_connection_has_error(m_connection))
        return false;
    xcb_connection_t* c = m_connection;
    xcb_get_selection_owner_reply_t* before =
        xcb_get_selection_owner_reply(c, xcb_get_selection_owner(c, m_clipboardAtom), nullptr);
    const uint32_t previous = before ? before->owner : XCB_NONE;
    std::free(before);
    xcb_set_selection_owner(c, XCB_NONE, m_clipboardAtom, XCB_CURRENT_TIME);
    xcb_get_selection_owner_reply_t* after =
        xcb_get_selection_owner_reply(c, xcb_get_selection_owner(c, m_clipboardAtom), nullptr);
    if (!after)
        return false;
    const uint32_t owner = after->owner;
    std::free(after);
    // A clipboard manager may take the selection over at once; only the old
    // owner still holding it means the clipboard was not emptied.
    return owner == XCB_NONE || owner != previous;
}

void XSelectionReader::run() {
    for (;;) {
        {
            std::unique_lock<std::mutex> lock(m_mutex);
            m_cv.wait(lock, [this] { return m_stop || m_requested; });
            if (m_stop)
                return;
            m_requested = false;
            m_reading = true;
        }
        Result result = readOnce();
        {
            std::lock_guard<std::mutex> lock(m_mutex);
            m_reading = false;
            m_result = std::move(result);
        }
        m_cv.notify_all();
    }
}

XSelectionReader::Result XSelectionReader::readOnce() {
    xcb_connection_t* c = m_connection;
    if (xcb_connection_has_error(c))
        return {};
    xcb_get_selection_owner_reply_t* ownerReply =
        xcb_get_selection_owner_reply(c, xcb_get_selection_owner(c, m_clipboardAtom), nullptr);
    const uint32_t owner = ownerReply ? ownerReply->owner : XCB_NONE;
    std::free(ownerReply);
    if (!ownerReply)
        return {};
    if (owner == XCB_NONE)
        return {Outcome::NoText, {}};

    bool refused = false;
    std::optional<QByteArray> bytes = convert(m_utf8Atom, refused);
    if (refused) {
        bytes = convert(XCB_ATOM_STRING, refused);
        if (refused)
            return {Outcome::NoText, {}};
        if (bytes)
            return {Outcome::Text, QString::fromLatin1(*bytes)};
    }
    if (!bytes)
        return {};
    return {Outcome::Text, QString::fromUtf8(*bytes)};
}

std::optional<QByteArray> XSelectionReader::convert(uint32_t target, bool& refused) {
    xcb_connection_t* c = m_connection;
    refused = false;
    xcb_delete_property(c, m_window, m_propertyAtom);
    xcb_convert_selection(c, m_window, m_clipboardAtom, target, m_propertyAtom, XCB_CURRENT_TIME);
    xcb_flush(c);
    const int64_t deadline = nowMs() + m_timeoutMs;
    xcb_selection_notify_event_t notify{};
    const bool answered = waitForEvent(
        [this](const void* event) {
            auto* e = static_cast<const xcb_generic_event_t*>(event);
            if ((e->response_type & 0x7f) != XCB_SELECTION_NOTIFY)
                return false;
            auto* n = static_cast<const xcb_selection_notify_event_t*>(event);
            return n->requestor == m_window && n->selection == m_clipboardAtom;
        },
        deadline, &notify, sizeof notify);
    if (!answered)
        return std::nullopt;
    if (notify.property == XCB_ATOM_NONE) {
        refused = true;
        return std::nullopt;
    }
    bool incremental = false;
    std::optional<QByteArray> data = readProperty(incremental);
    if (data && incremental)
        return readIncrements();
    return data;
}

std::optional<QByteArray> XSelectionReader::readProperty(bool& incremental) {
    xcb_connection_t* c = m_connection;
    QByteArray data;
    uint32_t offset = 0;
    incremental = false;
    for (;;) {
        // Deleting as we read: the deletion is what asks an incremental
        // sender for its next piece.
        xcb_get_property_reply_t* reply =
            xcb_get_property_reply(c,
                                   xcb_get_property(c, 1, m_window, m_propertyAtom,
                                                    XCB_GET_PROPERTY_TYPE_ANY, offset, kChunkWords),
                                   nullptr);
        if (!reply)
            return std::nullopt;
        if (reply->type == m_incrAtom)
            incremental = true;
        const int length = xcb_get_property_value_length(reply);
        data.append(static_cast<const char*>(xcb_get_property_value(reply)), length);
        const uint32_t after = reply->bytes_after;
        std::free(reply);
        if (after == 0)
            break;
        offset += uint32_t(length) / 4;
    }
    xcb_flush(c);
    return data;
}

std::optional<QByteArray> XSelectionReader::readIncrements() {
    QByteArray data;
    for (;;) {
        // Each piece must come within the time-out of the one before.
        const int64_t deadline = nowMs() + m_timeoutMs;
        xcb_property_notify_event_t notify{};
        const bool arrived = waitForEvent(
            [this](const void* event) {
                auto* e = static_cast<const xcb_generic_event_t*>(event);
                if ((e->response_type & 0x7f) != XCB_PROPERTY_NOTIFY)
                    return false;
                auto* n = static_cast<const xcb_property_notify_event_t*>(event);
                return n->window == m_window && n->atom == m_propertyAtom &&
                       n->state == XCB_PROPERTY_NEW_VALUE;
            },
            deadline, &notify, sizeof notify);
        if (!arrived)
            return std::nullopt;
        bool incremental = false;
        std::optional<QByteArray> piece = readProperty(incremental);
        if (!piece)
            return std::nullopt;
        if (piece->isEmpty())
            return data;
        data.append(*piece);
    }
}

bool XSelectionReader::waitForEvent(const std::function<bool(const void*)>& wanted,
                                    int64_t deadlineMs, void* out, std::size_t size) {
    xcb_connection_t* c = m_connection;
    for (;;) {
        while (xcb_generic_event_t* e = xcb_poll_for_event(c)) {
            const bool match = wanted(e);
            if (match)
                std::memcpy(out, e, size);
            std::free(e);
            if (match)
                return true;
        }
        if (xcb_connection_has_error(c))
            return false;
        {
            std::lock_guard<std::mutex> lock(m_mutex);
            if (m_stop)
                return false;
        }
        const int64_t left = deadlineMs - nowMs();
        if (left <= 0)
            return false;
        pollfd fds[2] = {{xcb_get_file_descriptor(c), POLLIN, 0}, {m_wakeFd, POLLIN, 0}};
        ::poll(fds, m_wakeFd >= 0 ? 2 : 1, int(std::min<int64_t>(left, 1000)));
    }
}
