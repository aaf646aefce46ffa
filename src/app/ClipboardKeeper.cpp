#include "ClipboardKeeper.h"

#include "io/FileWriting.h"
#include "io/PrivateFolder.h"

#include <QClipboard>
#include <QCoreApplication>
#include <QDataStream>
#include <QElapsedTimer>
#include <QFile>
#include <QGuiApplication>
#include <QMimeData>
#include <QProcess>
#include <QThread>

#include <fcntl.h>
#include <unistd.h>

namespace cropling {

namespace {

// The translation context of these texts.
struct ClipboardKeeper {
    Q_DECLARE_TR_FUNCTIONS(ClipboardKeeper)
};

QByteArray serialise(const QMimeData& data) {
    QByteArray bytes;
    QDataStream out(&bytes, QIODevice::WriteOnly);
    const QStringList formats = data.formats();
    out << formats;
    for (const QString& format : formats)
        out << data.data(format);
    return bytes;
}

QMimeData* deserialise(const QByteArray& bytes) {
    QDataStream in(bytes);
    QStringList formats;
    in >> formats;
    auto* data = new QMimeData;
    for (const QString& format : formats) {
        QByteArray value;
        in >> value;
        data->setData(format, value);
    }
    return data;
}

} // namespace

std::optional<QString> handOverClipboard(const QMimeData& data) {
    const auto folder = privateExportFolder();
    if (!folder)
        return ClipboardKeeper::tr("No private folder to pass the clipboard on.");
    QByteArray handOff = *folder + "/.clipboard-XXXXXX";
    const int fd = ::mkstemp(handOff.data());
    if (fd >= 0)
        ::close(fd);
    if (fd < 0 || !writeFileAtomically(handOff, serialise(data)))
        return ClipboardKeeper::tr("Couldn't pass the clipboard on.");

    QProcess keeper;
    keeper.setProgram(QCoreApplication::applicationFilePath());
    keeper.setArguments({QString::fromLatin1(kKeepClipboardArgument), QFile::decodeName(handOff)});
    // The keeper outlives this process; it must not hold on to a caller's pipes.
    keeper.setStandardInputFile(QProcess::nullDevice());
    keeper.setStandardOutputFile(QProcess::nullDevice());
    keeper.setStandardErrorFile(QProcess::nullDevice());
    if (!keeper.startDetached()) {
        ::unlink(handOff.constData());
        return ClipboardKeeper::tr("Couldn't start the clipboard keeper.");
    }
    // The keeper deletes the file once it owns the clipboard.
    QElapsedTimer waited;
    waited.start();
    while (::access(handOff.constData(), F_OK) == 0) {
        if (waited.elapsed() > 10000) {
            ::unlink(handOff.constData());
            return ClipboardKeeper::tr("The clipboard keeper did not take the clipboard.");
        }
        QThread::msleep(5);
    }
    return std::nullopt;
}

int keepClipboard(int argc, char** argv) {
    // Only X11 lets a window-less program own the clipboard; under Wayland the X11 bridge serves it.
    if (qEnvironmentVariableIsSet("DISPLAY"))
        qputenv("QT_QPA_PLATFORM", "xcb");
    QGuiApplication app(argc, argv);
    if (argc < 3)
        return 2;
    const QByteArray handOff(argv[2]);
    QFile file(QFile::decodeName(handOff));
    if (!file.open(QIODevice::ReadOnly))
        return 1;
    QClipboard* clipboard = QGuiApplication::clipboard();
    clipboard->setMimeData(deserialise(file.readAll()));
    file.close();
    ::unlink(handOff.constData());
    if (!clipboard->ownsClipboard())
        return 1;
    QObject::connect(clipboard, &QClipboard::changed, &app, [clipboard](QClipboard::Mode mode) {
        if (mode == QClipboard::Clipboard && !clipboard->ownsClipboard())
            QCoreApplication::quit();
    });
    return app.exec();
}

} // namespace cropling
