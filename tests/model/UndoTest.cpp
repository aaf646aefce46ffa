#include "PictureFixtures.h"

#include "core/Orientation.h"
#include "model/EmojiEditor.h"

#include <QTest>
#include <QUndoStack>

#include <gtest/gtest.h>

using namespace cropling;
using namespace cropling::test;

namespace {

PicturePtr picture(int width, int height) {
    return makePicture(makeImage(width, height, 3, [](int x, int y, int) { return (x + y) & 255; }));
}

// The square's pixels turned by hand, clockwise by quarter turns, then flipped left to right.
Rgba turnedSquare(const Rgba& square, int quarters, bool flip) {
    Rgba out = square;
    const int n = square.width;
    for (int y = 0; y < n; ++y) {
        for (int x = 0; x < n; ++x) {
            int u = x, v = y;
            for (int q = 0; q < quarters; ++q)
                std::tie(u, v) = std::pair(n - 1 - v, u);
            if (flip)
                u = n - 1 - u;
            for (int b = 0; b < 4; ++b)
                out.data[size_t((v * n + u) * 4 + b)] = square.data[size_t((y * n + x) * 4 + b)];
        }
    }
    return out;
}

int largestDifference(const Rgba& a, const Rgba& b) {
    int largest = 0;
    for (size_t i = 0; i < a.data.size(); ++i)
        largest = std::max(largest, std::abs(int(a.data[i]) - int(b.data[i])));
    return largest;
}

} // namespace

TEST(Undo, AGestureIsOneStepAndQuickStepsOfOneKindMerge) {
    EmojiEditor editor;
    editor.setImage(picture(400, 300), QStringLiteral("cat"));
    QUndoStack* history = editor.undoStack();
    const int start = history->index();

    // A drag: every move while the button is held is one step, however many.
    editor.beginGesture();
    for (int x = 1; x <= 30; ++x)
        editor.setOffset({double(x), 0});
    editor.endGesture();
    EXPECT_EQ(history->index(), start + 1);
    EXPECT_EQ(history->undoText(), QStringLiteral("Move"));

    // Wheel notches in quick succession are one zoom; a reset is a step of its own.
    editor.zoomAbout(1.2, {0, 0});
    editor.zoomAbout(1.44, {0, 0});
    editor.resetCrop();
    EXPECT_EQ(history->index(), start + 3);
    history->undo(); // the reset
    EXPECT_DOUBLE_EQ(editor.zoom(), 1.44);
    history->undo(); // both notches
    EXPECT_EQ(editor.zoom(), 1.0);
    EXPECT_EQ(editor.offset(), QPointF(30, 0));
    history->undo(); // the drag
    EXPECT_EQ(editor.offset(), QPointF(0, 0));
    history->redo();
    EXPECT_EQ(editor.offset(), QPointF(30, 0));
}

TEST(Undo, ANewPictureComesBackWithItsFramingAndName) {
    EmojiEditor editor;
    const PicturePtr first = picture(400, 300);
    editor.setImage(first, QStringLiteral("cat"));
    editor.setZoom(2);
    editor.setEmojiName(QStringLiteral("cat-"));
    editor.setEmojiName(QStringLiteral("cat-2")); // typing merges
    editor.setImage(picture(300, 300), QStringLiteral("dog"));
    editor.undoStack()->undo();
    EXPECT_EQ(editor.image(), first);
    EXPECT_EQ(editor.zoom(), 2);
    EXPECT_EQ(editor.emojiName(), QStringLiteral("cat-2"));
    editor.undoStack()->undo();
    EXPECT_EQ(editor.emojiName(), QStringLiteral("cat"));
    editor.undoStack()->redo();
    editor.undoStack()->redo();
    EXPECT_EQ(editor.emojiName(), QStringLiteral("dog"));
    EXPECT_EQ(editor.zoom(), 1);
}

TEST(Undo, PicturesOpenedOneAfterAnotherAreDroppedFromTheHistoryBeyondItsBudget) {
    EmojiEditor editor;
    // Pictures of 25 MB each, with their display copies twice that: a handful fill the budget.
    std::vector<std::weak_ptr<const Picture>> opened;
    for (int i = 0; i < 12; ++i) {
        PicturePtr next = picture(2500, 2500);
        opened.push_back(next);
        editor.setImage(std::move(next), QStringLiteral("p%1").arg(i));
        // One step back is always there.
        ASSERT_TRUE(editor.undoStack()->canUndo());
    }
    // Only the last few are still held, by anything: the program does not grow with every picture.
    const auto alive = std::count_if(opened.begin(), opened.end(), [](const auto& p) { return !p.expired(); });
    EXPECT_LE(alive, 1 + EmojiEditor::kHistoryBytes / (2LL * 4 * 2500 * 2500) + 1);
    EXPECT_GE(alive, 2);
    editor.undoStack()->undo();
    EXPECT_EQ(editor.image(), opened[10].lock());
}

TEST(Undo, AnAnimationCountsEveryFrameAgainstTheHistorysBudget) {
    EmojiEditor editor;
    // Animations of 40 frames of 500 x 500: some 40 MB each with their display copies, though
    // one frame alone is 1 MB. (The frames share one picture here: only the count matters.)
    std::vector<std::weak_ptr<const Picture>> opened;
    for (int i = 0; i < 12; ++i) {
        const PicturePtr frame = picture(500, 500);
        PicturePtr next = Picture::animated(std::vector<PicturePtr>(40, frame), std::vector<int>(40, 50), 0);
        opened.push_back(next);
        editor.setImage(std::move(next), QStringLiteral("a%1").arg(i));
    }
    const auto alive = std::count_if(opened.begin(), opened.end(), [](const auto& p) { return !p.expired(); });
    EXPECT_LE(alive, 1 + EmojiEditor::kHistoryBytes / (2LL * 4 * 500 * 500 * 40) + 1);
}

TEST(Undo, WhatAFramingCommandSaidGoesWithTheNextFramingChangeOrItsUndoAndAFailureWithTheNextStep) {
    EmojiEditor editor;
    editor.setImage(picture(600, 300), QStringLiteral("cat"));
    editor.setZoom(4);
    editor.autoFrame();
    ASSERT_TRUE(editor.status()->message());
    const QString said = *editor.status()->message();
    editor.setZoom(editor.zoom() * 1.1);
    EXPECT_FALSE(editor.status()->message()) << said.toStdString();

    editor.setZoom(4);
    editor.autoFrame();
    ASSERT_EQ(editor.status()->message(), said);
    editor.undoStack()->undo();
    EXPECT_FALSE(editor.status()->message());

    // A failure stays while nothing is done, and goes with the next step.
    editor.status()->set(QStringLiteral("Couldn't open x.png: damaged"), EditorStatus::Kind::Failure);
    editor.setEmojiName(QStringLiteral("dog"));
    EXPECT_FALSE(editor.status()->message());
}

// A turn keeps the part of the picture that was in the square there, turned; it is one step that
// keeps the name, and its undo brings back the picture and the framing exactly. Quarter turns in
// a run and an export asked for while the turn is made wait for each other, in order.
TEST(Undo, ATurnTurnsWhatTheSquareShowsAndItsUndoBringsItBack) {
    EmojiEditor editor;
    const PicturePtr original = makePicture(cameraLike(480, 320));
    editor.setImage(original, QStringLiteral("cat"));
    editor.setZoom(1.6);
    editor.setOffset({30, -12});
    const Framing framed = editor.framing();
    const Rgba before = decodePng(*editor.renderEmojiPNG(128));

    editor.turnPicture(kTurnRight);
    EXPECT_EQ(editor.undoStack()->undoText(), QStringLiteral("Rotate Right"));
    EXPECT_EQ(editor.image()->fullSize(), QSize(320, 480));
    EXPECT_EQ(editor.emojiName(), QStringLiteral("cat"));
    EXPECT_LE(largestDifference(decodePng(*editor.renderEmojiPNG(128)), turnedSquare(before, 1, false)), 2);
    editor.turnPicture(kFlipAcross);
    EXPECT_LE(largestDifference(decodePng(*editor.renderEmojiPNG(128)), turnedSquare(before, 1, true)), 2);

    editor.undoStack()->undo();
    editor.undoStack()->undo();
    EXPECT_EQ(editor.image(), original);
    EXPECT_EQ(editor.framing(), framed);
    EXPECT_EQ(decodePng(*editor.renderEmojiPNG(128)).data, before.data);

    // In the background: three quick left turns and a save asked for before any is made. The save
    // writes the picture turned three times, not one caught halfway.
    editor.setBackgroundWork(true);
    const QByteArray saved = tempFolder() + "/turned.png";
    editor.setSaveDialog([&](const QString&) { return std::optional(saved); });
    for (int i = 0; i < 3; ++i)
        editor.turnPicture(kTurnLeft);
    editor.save();
    ASSERT_TRUE(QTest::qWaitFor([&] { return !editor.isTurning() && !editor.isExporting() && !readFile(saved).isEmpty(); }, 10'000));
    EXPECT_EQ(editor.image()->fullSize(), QSize(320, 480));
    EXPECT_LE(largestDifference(decodePng(readFile(saved)), turnedSquare(before, 1, false)), 2);
}
