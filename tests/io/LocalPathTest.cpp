#include "io/LocalPath.h"

#include <gtest/gtest.h>

using namespace cropling;

TEST(LocalPath, KeepsTheExactBytesOfAPath) {
    const QByteArray path("/tmp/odd \xff name%20.png");
    const QUrl url = urlFromLocalPath(path);
    ASSERT_TRUE(url.isLocalFile());
    EXPECT_EQ(localPathBytes(url), path);
    EXPECT_EQ(lastPathComponent(path), QByteArray("odd \xff name%20.png"));
    EXPECT_EQ(localPathBytes(QUrl::fromLocalFile(QStringLiteral("/tmp/My Cat.JPG"))), QByteArray("/tmp/My Cat.JPG"));
    EXPECT_TRUE(localPathBytes(QUrl(QStringLiteral("https://example.org/a.png"))).isEmpty());
    // Another machine's file is not the file of the same path here.
    EXPECT_TRUE(localPathBytes(QUrl(QStringLiteral("file://fileserver/etc/hostname"))).isEmpty());
    EXPECT_EQ(localPathBytes(QUrl(QStringLiteral("file://localhost/tmp/a.png"))), QByteArray("/tmp/a.png"));
}

TEST(LocalPath, RelativePathsResolveAgainstTheWorkingDirectory) {
    const QByteArray path = localPathBytes(urlFromLocalPath("pics/a.png"));
    EXPECT_TRUE(path.startsWith('/'));
    EXPECT_TRUE(path.endsWith("/pics/a.png"));
    EXPECT_EQ(lastPathComponent("/a/b/dir/"), QByteArray("dir"));
}
