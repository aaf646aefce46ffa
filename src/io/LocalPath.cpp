#include "LocalPath.h"

#include <QSysInfo>

#include <unistd.h>

#include <vector>

namespace cropling {

QByteArray localPathBytes(const QUrl& url) {
    if (!url.isLocalFile())
        return {};
    // file://server/share/cat.jpg names a file on another machine, not /share/cat.jpg here.
    const QString host = url.host();
    if (!host.isEmpty() && host.compare(QLatin1String("localhost"), Qt::CaseInsensitive) != 0 &&
        host != QSysInfo::machineHostName())
        return {};
    // The fully encoded form keeps %FF and friends, which decoding to QString would replace.
    return QByteArray::fromPercentEncoding(url.path(QUrl::FullyEncoded).toLatin1());
}

QUrl urlFromLocalPath(const QByteArray& path) {
    QByteArray absolute = path;
    if (!absolute.startsWith('/')) {
        std::vector<char> buffer(4096);
        while (!::getcwd(buffer.data(), buffer.size()) && errno == ERANGE)
            buffer.resize(buffer.size() * 2);
        QByteArray cwd(buffer.data());
        if (!cwd.endsWith('/'))
            cwd.append('/');
        absolute.prepend(cwd);
    }
    return QUrl::fromEncoded("file://" + absolute.toPercentEncoding("/"), QUrl::StrictMode);
}

QByteArray lastPathComponent(const QByteArray& path) {
    qsizetype end = path.size();
    while (end > 1 && path[end - 1] == '/')
        --end;
    const qsizetype slash = path.lastIndexOf('/', end - 1);
    return path.mid(slash + 1, end - slash - 1);
}

QString displayName(const QByteArray& fileName) { return QString::fromUtf8(fileName); }

QUrl urlFromArgument(const QByteArray& argument) {
    if (argument.startsWith("file://"))
        return QUrl::fromEncoded(argument);
    return urlFromLocalPath(argument);
}

} // namespace cropling
