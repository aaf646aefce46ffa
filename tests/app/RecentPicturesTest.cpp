#include "app/RecentPictures.h"

#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

using namespace cropling;

namespace {

QUrl touch(const QTemporaryDir& folder, const QString& name) {
    QFile file(folder.filePath(name));
    EXPECT_TRUE(file.open(QIODevice::WriteOnly));
    return QUrl::fromLocalFile(file.fileName());
}

QByteArray contents(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

} // namespace

TEST(RecentPictures, SharesTheDesktopsListAndKeepsOtherProgramsEntries) {
    QTemporaryDir folder;
    const QString list = folder.filePath(QStringLiteral("recently-used.xbel"));
    // A list another program wrote, with one of its files.
    QFile other(list);
    ASSERT_TRUE(other.open(QIODevice::WriteOnly));
    other.write(R"(<?xml version="1.0" encoding="UTF-8"?>
<xbel version="1.0" xmlns:bookmark="http://www.freedesktop.org/standards/desktop-bookmarks" xmlns:mime="http://www.freedesktop.org/standards/shared-mime-info">
  <bookmark href="file:///home/someone/report.pdf" added="2026-01-01T00:00:00.000000Z" modified="2026-01-01T00:00:00.000000Z" visited="2026-01-01T00:00:00.000000Z">
    <info><metadata owner="http://freedesktop.org"><mime:mime-type type="application/pdf"/>
      <bookmark:applications><bookmark:application name="Evince" exec="'evince %u'" modified="2026-01-01T00:00:00.000000Z" count="3"/></bookmark:applications>
    </metadata></info>
  </bookmark>
</xbel>)");
    other.close();

    const RecentPictures recent(list);
    const QUrl cat = touch(folder, QStringLiteral("cat.png"));
    const QUrl dog = touch(folder, QStringLiteral("dog photo.jpg"));
    ASSERT_TRUE(recent.add(cat, QStringLiteral("image/png")));
    ASSERT_TRUE(recent.add(dog, QStringLiteral("image/jpeg")));
    EXPECT_EQ(recent.pictures(), (QList<QUrl>{dog, cat}));
    // Opening the cat again brings it to the front; the other program's file is still listed, not ours.
    ASSERT_TRUE(recent.add(cat, QStringLiteral("image/png")));
    EXPECT_EQ(recent.pictures(), (QList<QUrl>{cat, dog}));
    EXPECT_TRUE(contents(list).contains("file:///home/someone/report.pdf"));
    EXPECT_TRUE(contents(list).contains("name=\"Evince\""));
    // A picture that is gone is not offered.
    QFile::remove(dog.toLocalFile());
    EXPECT_EQ(recent.pictures(), (QList<QUrl>{cat}));

    // A list that does not read as one is left as it is.
    QFile broken(list);
    ASSERT_TRUE(broken.open(QIODevice::WriteOnly));
    broken.write("<xbel><bookmark");
    broken.close();
    EXPECT_FALSE(recent.add(cat, QStringLiteral("image/png")));
    EXPECT_EQ(contents(list), QByteArray("<xbel><bookmark"));
}
