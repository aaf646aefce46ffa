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
        {"a - b.png", "a-b"},                                    // runs collapse, hyphens included
        {"photo.tar.gz", "photo-tar"},
        {"snake_case_.png", "snake_case_"},
        {"\xe5\x86\x99\xe7\x9c\x9f.jpg", "my-emoji"},          // a name wholly in another script
        {"\xe2\x84\xaa" "elvin.png", "kelvin"},                 // the Kelvin sign lower-cases to k
        {"Cafe\xcc\x81 Cr\xc3\xa8me.png", "cafe-creme"},        // combining mark and accented letter
        {"Gr\xc3\xb6\xc3\x9f" "e \xc3\x9c" "berma\xc3\x9f.png", "grosse-ubermass"}, // letters written plainly
        {"\xc3\x86r\xc3\xb8 \xc5\x81\xc3\xb3" "d\xc5\xba.jpg", "aero-lodz"},
        {"My Party Cat! \xf0\x9f\x8e\x89.png", "my-party-cat"},   // punctuation and emoji go
        {"don't (copy).png", "dont-copy"},
        {"cats,dogs.png", "cats-dogs"},                           // separating punctuation parts words
        {"v1.2:final;b.png", "v1-2-final-b"},
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
        {"My Cat ", "my-cat-"},   // a trailing hyphen stays while the name is being typed
        {"My Party Cat! \xf0\x9f\x8e\x89", "my-party-cat-"},
        {"Gr\xc3\xb6\xc3\x9f" "e", "grosse"},
        {"  party parrot", "party-parrot"},
        {"a/b\x01" "c", "a-b-c"}, // never a path or a control character
        {"ok_name-2", "ok_name-2"},
        {"", ""},                 // empty stays empty: the export says "emoji"
        {"🎉", ""},
    };
    for (const auto& [typed, kept] : rows)
        EXPECT_EQ(typedEmojiName(QString::fromUtf8(typed)), QString::fromUtf8(kept)) << typed;
    // Leaving the field, or exporting, takes a hyphen off either end: typed and derived names end
    // up alike.
    EXPECT_EQ(finishedEmojiName(QString::fromUtf8("My Party Cat! \xf0\x9f\x8e\x89")), QStringLiteral("my-party-cat"));
    EXPECT_EQ(finishedEmojiName(QStringLiteral("-a - b-")), QStringLiteral("a-b"));
}
