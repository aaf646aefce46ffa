#include "model/ClipboardData.h"

#include <QMimeData>

#include <gtest/gtest.h>

#include <memory>

using namespace cropling;

TEST(ClipboardHandOver, RoundTripsAndRefusesAnythingElse) {
    const std::unique_ptr<QMimeData> copied(makeClipboardData("\x89PNG fake", QStringLiteral("image/png"), QByteArray("/tmp/x y.png")));
    const QByteArray handOver = serialiseClipboardData(*copied);
    const std::unique_ptr<QMimeData> back(deserialiseClipboardData(handOver));
    ASSERT_TRUE(back);
    EXPECT_EQ(back->formats(), copied->formats());
    for (const QString& format : copied->formats())
        EXPECT_EQ(back->data(format), copied->data(format)) << format.toStdString();

    // Cut short, with bytes left over, without a PNG, or claiming a billion formats in a few
    // bytes (which once asked for 14 GB): nothing, at once.
    EXPECT_FALSE(deserialiseClipboardData(handOver.left(handOver.size() - 1)));
    EXPECT_FALSE(deserialiseClipboardData(handOver + "x"));
    QMimeData text;
    text.setText(QStringLiteral("no picture"));
    EXPECT_FALSE(deserialiseClipboardData(serialiseClipboardData(text)));
    EXPECT_FALSE(deserialiseClipboardData(QByteArray("# comment\r\nhttps://example.org/x.png\r\n")));
    EXPECT_FALSE(deserialiseClipboardData(QByteArray()));
}
