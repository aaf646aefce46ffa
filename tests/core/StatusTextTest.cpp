#include "core/StatusText.h"

#include <gtest/gtest.h>

using namespace cropling;

TEST(ExportText, KilobytesRoundHalfToEven) {
    const std::pair<long long, const char*> rows[] = {{511, "0"},  {512, "0"},  {1535, "1"}, {1536, "2"},
                                                       {2560, "2"}, {2561, "3"}, {10240, "10"}, {12288, "12"}};
    for (const auto& [bytes, text] : rows)
        EXPECT_EQ(kilobytes(bytes), QString::fromLatin1(text)) << bytes;
    EXPECT_EQ(savedMessage(QStringLiteral("cat.png"), 2561), QStringLiteral("Saved cat.png — 128×128, 3 KB"));
    EXPECT_EQ(copiedMessage(QString()), QStringLiteral("Copied emoji.png to clipboard — 128×128"));
    EXPECT_EQ(exportFileName(QStringLiteral(" My Name ")), QStringLiteral(" My Name .png"));
    EXPECT_EQ(exportFileName(QStringLiteral("cat-"), true), QStringLiteral("cat.gif")); // left while typing
    EXPECT_EQ(exportFileName(QStringLiteral("-")), QStringLiteral("emoji.png"));
}

TEST(StatusText, ATerminalLineEscapesControlsAndReorderingCharacters) {
    // DEL, a C1 control (NEL, a line break on some terminals) and a right-to-left override that
    // would show "gpj.exe" as "exe.jpg".
    EXPECT_EQ(terminalLine(QStringLiteral("a\x7f" "b") + QChar(0x85) + QStringLiteral("c") + QChar(0x202e) + QStringLiteral("gpj.exe")),
              QByteArray("a\\x7fb\\x85c\\u202egpj.exe"));
    EXPECT_EQ(terminalLine(QStringLiteral("Schöne Grüße")), QStringLiteral("Schöne Grüße").toLocal8Bit());
}
