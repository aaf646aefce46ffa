#include "ClipboardReader.h"

#include <QElapsedTimer>
#include <QFutureWatcher>
#include <QGuiApplication>
#include <QMimeData>
#include <QtConcurrent/QtConcurrentRun>

#include <xcb/xcb.h>

#include <poll.h>

#include <cstdlib>
#include <cstring>
#include <vector>

namespace cropling {

namespace {

// What the owner may announce at most: more targets than any real program offers.
constexpr int kMaxTargets = 128;

template <typename T>
struct Freed {
    T* p = nullptr;
    ~Freed() { std::free(p); }
    T* operator->() const { return p; }
    explicit operator bool() const { return p != nullptr; }
};

class Session {
public:
    explicit Session(int deadlineMs) : deadlineMs_(deadlineMs) {
        clock_.start();
        c_ = xcb_connect(nullptr, nullptr);
        if (xcb_connection_has_error(c_))
            return;
        const xcb_setup_t* setup = xcb_get_setup(c_);
        const xcb_screen_t* screen = xcb_setup_roots_iterator(setup).data;
        if (!screen)
            return;
        window_ = xcb_generate_id(c_);
        const uint32_t events = XCB_EVENT_MASK_PROPERTY_CHANGE;
        xcb_create_window(c_, XCB_COPY_FROM_PARENT, window_, screen->root, 0, 0, 1, 1, 0,
                          XCB_WINDOW_CLASS_INPUT_ONLY, screen->root_visual, XCB_CW_EVENT_MASK, &events);
        clipboard_ = atom("CLIPBOARD");
        property_ = atom("CROPLING_PASTE");
        incr_ = atom("INCR");
        ok_ = clipboard_ && property_ && incr_;
    }
    ~Session() { xcb_disconnect(c_); }

    bool ok() const { return ok_; }

    xcb_atom_t atom(const char* name) {
        Freed<xcb_intern_atom_reply_t> reply{
            xcb_intern_atom_reply(c_, xcb_intern_atom(c_, 0, uint16_t(std::strlen(name)), name), nullptr)};
        return reply ? reply->atom : xcb_atom_t(XCB_ATOM_NONE);
    }

    QStringList targets() {
        QStringList names;
        const auto list = convert(atom("TARGETS"));
        if (!list || list->size() % 4 != 0)
            return names;
        std::vector<xcb_atom_t> atoms(size_t(std::min<qsizetype>(list->size() / 4, kMaxTargets)));
        std::memcpy(atoms.data(), list->constData(), atoms.size() * 4);
        std::vector<xcb_get_atom_name_cookie_t> cookies;
        for (const xcb_atom_t a : atoms)
            cookies.push_back(xcb_get_atom_name(c_, a));
        for (const auto& cookie : cookies) {
            Freed<xcb_get_atom_name_reply_t> reply{xcb_get_atom_name_reply(c_, cookie, nullptr)};
            if (reply)
                names << QString::fromLatin1(xcb_get_atom_name_name(reply.p), xcb_get_atom_name_name_length(reply.p));
        }
        return names;
    }

    // The owner's data in this target; nothing when it refuses, is late or sends too much.
    std::optional<QByteArray> convert(xcb_atom_t target) {
        if (!target)
            return std::nullopt;
        xcb_convert_selection(c_, window_, clipboard_, target, property_, XCB_CURRENT_TIME);
        xcb_flush(c_);
        Freed<xcb_generic_event_t> notified{waitFor([this](xcb_generic_event_t* e) {
            return (e->response_type & 0x7f) == XCB_SELECTION_NOTIFY &&
                   reinterpret_cast<xcb_selection_notify_event_t*>(e)->requestor == window_;
        })};
        if (!notified || reinterpret_cast<xcb_selection_notify_event_t*>(notified.p)->property == XCB_ATOM_NONE)
            return std::nullopt;
        xcb_atom_t type = XCB_ATOM_NONE;
        auto data = takeProperty(&type);
        if (!data || type != incr_)
            return data;
        // Large data comes in pieces: each new value of the property is one, an empty one ends it.
        QByteArray all;
        for (;;) {
            Freed<xcb_generic_event_t> changed{waitFor([this](xcb_generic_event_t* e) {
                auto* p = reinterpret_cast<xcb_property_notify_event_t*>(e);
                return (e->response_type & 0x7f) == XCB_PROPERTY_NOTIFY && p->window == window_ &&
                       p->atom == property_ && p->state == XCB_PROPERTY_NEW_VALUE;
            })};
            if (!changed)
                return std::nullopt;
            const auto piece = takeProperty(&type);
            if (!piece || all.size() + piece->size() > ClipboardReader::kMaxBytes)
                return std::nullopt;
            if (piece->isEmpty())
                return all;
            all += *piece;
        }
    }

private:
    // Reads and deletes the property the owner wrote, up to the size limit.
    std::optional<QByteArray> takeProperty(xcb_atom_t* type) {
        Freed<xcb_get_property_reply_t> reply{xcb_get_property_reply(
            c_, xcb_get_property(c_, 1, window_, property_, XCB_GET_PROPERTY_TYPE_ANY, 0, ClipboardReader::kMaxBytes / 4),
            nullptr)};
        if (!reply || reply->bytes_after > 0)
            return std::nullopt;
        *type = reply->type;
        return QByteArray(static_cast<const char*>(xcb_get_property_value(reply.p)),
                          xcb_get_property_value_length(reply.p));
    }

    template <typename Wanted>
    xcb_generic_event_t* waitFor(Wanted wanted) {
        const int fd = xcb_get_file_descriptor(c_);
        for (;;) {
            while (xcb_generic_event_t* event = xcb_poll_for_event(c_)) {
                if (wanted(event))
                    return event;
                std::free(event);
            }
            const qint64 left = deadlineMs_ - clock_.elapsed();
            if (xcb_connection_has_error(c_) || left <= 0)
                return nullptr;
            pollfd p{fd, POLLIN, 0};
            ::poll(&p, 1, int(left));
        }
    }

    xcb_connection_t* c_ = nullptr;
    xcb_window_t window_ = 0;
    xcb_atom_t clipboard_ = XCB_ATOM_NONE;
    xcb_atom_t property_ = XCB_ATOM_NONE;
    xcb_atom_t incr_ = XCB_ATOM_NONE;
    bool ok_ = false;
    QElapsedTimer clock_;
    qint64 deadlineMs_;
};

} // namespace

ClipboardReader::ClipboardReader(QObject* parent) : QObject(parent) {}

ClipboardReader::~ClipboardReader() = default;

bool ClipboardReader::isAvailable() { return QGuiApplication::platformName() == QLatin1String("xcb"); }

QList<QPair<QString, QByteArray>> ClipboardReader::fetch(int deadlineMs) {
    QList<QPair<QString, QByteArray>> offered;
    Session session(deadlineMs);
    if (!session.ok())
        return offered;
    const QStringList targets = session.targets();
    // File locations first, then one picture format: the preferred ones, else the first offered.
    QStringList wanted;
    for (const QString& files : {QStringLiteral("text/uri-list"), QStringLiteral("x-special/gnome-copied-files")}) {
        if (targets.contains(files))
            wanted << files;
    }
    QString picture;
    for (const QString& preferred : {QStringLiteral("image/png"), QStringLiteral("image/jpeg")}) {
        if (picture.isEmpty() && targets.contains(preferred))
            picture = preferred;
    }
    for (const QString& target : targets) {
        if (picture.isEmpty() && target.startsWith(QLatin1String("image/")))
            picture = target;
    }
    if (!picture.isEmpty())
        wanted << picture;
    for (const QString& format : wanted) {
        if (const auto data = session.convert(session.atom(format.toLatin1().constData())))
            offered.append({format, *data});
    }
    return offered;
}

void ClipboardReader::read() {
    if (reading_)
        return;
    reading_ = true;
    auto* watcher = new QFutureWatcher<QList<QPair<QString, QByteArray>>>(this);
    connect(watcher, &QFutureWatcherBase::finished, this, [this, watcher] {
        watcher->deleteLater();
        reading_ = false;
        auto data = std::make_shared<QMimeData>();
        for (const auto& [format, bytes] : watcher->result())
            data->setData(format, bytes);
        Q_EMIT finished(data);
    });
    watcher->setFuture(QtConcurrent::run([] { return fetch(kDeadlineMs); }));
}

} // namespace cropling
