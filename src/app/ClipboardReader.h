#pragma once

// Reads what another program offers on the X11 clipboard on a worker thread, over a connection of
// its own, within one deadline for the whole read. A clipboard owner that never answers, answers
// slowly or sends without end costs a paste a few seconds, and never holds up the window.

#include <QByteArray>
#include <QList>
#include <QObject>
#include <QPair>
#include <QString>

#include <memory>

class QMimeData;

namespace cropling {

class ClipboardReader : public QObject {
    Q_OBJECT
public:
    explicit ClipboardReader(QObject* parent = nullptr);
    ~ClipboardReader() override;

    // Whether the program runs on X11, where this reader works; elsewhere Qt's clipboard is used.
    static bool isAvailable();

    // Starts a read; a read already running is left to finish, and this call does nothing.
    void read();

    // The data a paste looks at, in the formats it looks for, fetched within this time.
    static constexpr int kDeadlineMs = 3000;
    // No clipboard data past this size is fetched.
    static constexpr qsizetype kMaxBytes = 256 << 20;

    // What the owner offered of the formats a paste looks at (file locations, then one picture
    // format), as format and data; empty when the clipboard is empty, its owner does not answer
    // in time, or the display cannot be reached. Blocking: runs on a worker.
    static QList<QPair<QString, QByteArray>> fetch(int deadlineMs);

Q_SIGNALS:
    // The offered data, as a paste reads it; empty formats when nothing could be read.
    void finished(std::shared_ptr<QMimeData> offered);

private:
    bool reading_ = false;
};

} // namespace cropling
