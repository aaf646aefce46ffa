#include "core/EmojiName.h"

#include <gtest/gtest.h>

using namespace cropling;

TEST(EmojiName, DerivesNamesFromFileNames) {
    const struct {
        const char* file;
        const char* name;
    } rows[] = {
        {"My Cat Photo.JPG", "my-cat-photo"},
        {"IMG_42.heic", "img_42"},
        {"  --Hello World!!--.png", "hello-world"},
        {"a - b.png", "a---b"},
        {"photo.tar.gz", "photo-tar"},
        {"snake_case_.png", "snake_case_"},
        {"\xe5\x86\x99\xe7\x9c\x9f.jpg", "my-emoji"},          // a name wholly in another script
        {"\xe2\x84\xaa" "elvin.png", "kelvin"},                 // the Kelvin sign lower-cases to k
        {"Cafe\xcc\x81 Cr\xc3\xa8me.png", "cafe-cr-me"},        // combining mark and accented letter
        {"party \xf0\x9f\x8e\x89 time.gif", "party-time"},      // an emoji between spaces is one run
        {".hidden", "hidden"},
        {"---.png", "my-emoji"},
        {"", "my-emoji"},
    };
    for (const auto& row : rows)
        EXPECT_EQ(deriveEmojiName(QByteArray(row.file)), QString::fromUtf8(row.name)) << row.file;
}

TEST(EmojiName, InvalidUtf8BytesBecomeHyphens) {
    EXPECT_EQ(deriveEmojiName(QByteArray("caf\xe9 au lait.png")), QStringLiteral("caf-au-lait"));
    EXPECT_EQ(deriveEmojiName(QByteArray("\xff\xfe.png")), QStringLiteral("my-emoji"));
}

TEST(EmojiName, TypingIsHeldToTheRuleAsItGoes) {
    const std::pair<const char*, const char*> rows[] = {
        {"My Cat!", "my-cat-"},   // a trailing hyphen stays while the name is being typed
        {"  party parrot", "party-parrot"},
        {"a/b\x01" "c", "a-b-c"}, // never a path or a control character
        {"ok_name-2", "ok_name-2"},
        {"", ""},                 // empty stays empty: the export says "emoji"
        {"🎉", ""},
    };
    for (const auto& [typed, kept] : rows)
        EXPECT_EQ(typedEmojiName(QString::fromUtf8(typed)), QString::fromUtf8(kept)) << typed;
}
