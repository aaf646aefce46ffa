#include "PictureFixtures.h"
#include "WindowFixture.h"

#include "app/WindowActions.h"
#include "io/LocalPath.h"
#include "widgets/Checkerboard.h"
#include "widgets/ThirdsGrid.h"
#include "widgets/editor/EditorColumn.h"
#include "widgets/editor/ZoomSlider.h"
#include "core/CropGeometry.h"

#include <QAction>
#include <QApplication>
#include <QMimeData>
#include <QMouseEvent>
#include <QNativeGestureEvent>
#include <QTest>
#include <QWheelEvent>
#include <QPainter>
#include <QPushButton>
#include <QSignalSpy>
#include <QScrollArea>
#include <QSlider>

#include <QToolButton>

#include <gtest/gtest.h>

#include <cmath>

using namespace cropling;
using namespace cropling::test;

namespace {

QStringList visibleButtons(QWidget* window) {
    QStringList texts;
    for (QPushButton* button : window->findChildren<QPushButton*>())
        if (button->isVisibleTo(window) && !button->isCheckable())
            texts << button->text();
    return texts;
}

// The symbol buttons beside the zoom slider that are shown.
QList<QToolButton*> rowTools(QWidget* window) {
    QList<QToolButton*> shown;
    for (QToolButton* tool : window->findChild<ToolRow*>()->findChildren<QToolButton*>())
        if (tool->isVisibleTo(window))
            shown << tool;
    return shown;
}

PicturePtr solidPicture(int w, int h) {
    return makePicture(makeImage(w, h, 3, [](int x, int, int b) { return b == 0 ? x % 256 : 90; }));
}

void mouse(QWidget* target, QEvent::Type type, QPointF at, Qt::MouseButtons buttons) {
    QMouseEvent event(type, at, target->mapToGlobal(at), Qt::LeftButton, buttons, Qt::NoModifier);
    QApplication::sendEvent(target, &event);
}

using Window = WindowFixture;

} // namespace

TEST(EditorColumn, ControlsFollowWhetherAPictureIsLoaded) {
    Window w;
    EXPECT_EQ(visibleButtons(w.window), (QStringList{"Choose Photo…", "Paste Photo", "Save Emoji PNG…", "Copy to Clipboard"}));
    ZoomSlider* slider = w.window->findChild<ZoomSlider*>();
    EXPECT_FALSE(slider->isVisibleTo(w.window));
    EXPECT_FALSE(w.window->actions()->save->isEnabled());
    EXPECT_FALSE(w.window->actions()->copy->isEnabled());
    EXPECT_TRUE(w.window->actions()->paste->isEnabled());
    const int emptyHeight = w.window->height();
    const int emptyWidth = w.window->width();

    w.editor().setImage(solidPicture(400, 300), QStringLiteral("x"));
    EXPECT_EQ(visibleButtons(w.window),
              (QStringList{"Choose Another…", "Paste Photo", "Reset Crop", "Save Emoji PNG…", "Copy to Clipboard"}));
    // The tools are symbols in a row of their own, named for screen readers with their keys.
    QStringList tools;
    for (const QToolButton* tool : rowTools(w.window))
        tools << tool->accessibleName();
    EXPECT_EQ(tools, (QStringList{"Fit (Ctrl+9)", "Auto-Frame (Ctrl+Shift+F)", "Rotate Left (Ctrl+L)",
                                  "Rotate Right (Ctrl+R)", "Flip Horizontally (Ctrl+Shift+H)",
                                  "Remove Background (Ctrl+Shift+B)", "Mark to Keep (Ctrl+Shift+K)",
                                  "Mark to Remove (Ctrl+Shift+J)", "Effect"}));
    // The brushes are for a removed background: there is none yet.
    EXPECT_FALSE(w.window->actions()->markKeep->isEnabled());
    EXPECT_FALSE(w.window->actions()->markRemove->isEnabled());
    EXPECT_TRUE(slider->isVisibleTo(w.window));
    // A 4:3 picture: the knob's range starts at the zoom that fits it whole, below the opening zoom.
    EXPECT_EQ(slider->zoomAt(slider->minimum()), 0.75);
    EXPECT_EQ(slider->zoomAt(slider->value()), 1.0);
    EXPECT_EQ(slider->parentWidget()->width(), 340);
    EXPECT_TRUE(w.window->actions()->save->isEnabled());
    // The window grows for the zoom row, not wider, and cannot be resized.
    QApplication::processEvents();
    EXPECT_GT(w.window->height(), emptyHeight);
    EXPECT_EQ(w.window->width(), emptyWidth);
    // An animation gives the same height and width as a still.
    const QSize still = w.window->size();
    w.editor().setImage(Picture::animated({solidPicture(400, 300), solidPicture(400, 300)}, {100, 100}, 0),
                        QStringLiteral("y"));
    QApplication::processEvents();
    EXPECT_EQ(w.window->size(), still);
    EXPECT_EQ(w.window->minimumSize(), w.window->maximumSize());
}

TEST(EditorColumn, ColumnsSitTopAligned24PixelsApartWithA24PixelMargin) {
    Window w;
    QApplication::processEvents();
    QWidget* content = w.window->findChild<QScrollArea*>()->widget();
    const QList<QWidget*> columns = content->findChildren<QWidget*>(QString(), Qt::FindDirectChildrenOnly);
    ASSERT_EQ(columns.size(), 2);
    const QRect left = columns[0]->geometry(), right = columns[1]->geometry();
    EXPECT_EQ(left.topLeft(), QPoint(24, 24));
    EXPECT_EQ(right.top(), 24);
    EXPECT_EQ(right.left() - left.right() - 1, 24);
    EXPECT_EQ(content->width() - right.right() - 1, 24);
}

TEST(EditorColumn, SliderZoomsAndReclampsAndResetCentres) {
    Window w;
    w.editor().setImage(solidPicture(400, 300), QStringLiteral("x"));
    ZoomSlider* slider = w.window->findChild<ZoomSlider*>();
    slider->setValue(slider->valueFor(2.0));
    EXPECT_DOUBLE_EQ(w.editor().zoom(), 2.0);
    w.editor().setOffset({1000, 1000});
    EXPECT_NEAR(w.editor().offset().x(), 850.0 / 3, 1e-9);
    slider->setValue(slider->valueFor(1.0));
    // Back at zoom 1 the picture is pulled back just far enough to cover the square.
    EXPECT_NEAR(w.editor().offset().x(), 170.0 / 3, 1e-9);
    EXPECT_EQ(w.editor().offset().y(), 0);
    slider->setValue(slider->valueFor(3.5));
    w.editor().resetCrop();
    EXPECT_EQ(w.editor().zoom(), 1);
    EXPECT_EQ(w.editor().offset(), QPointF(0, 0));
    EXPECT_EQ(slider->value(), slider->valueFor(1.0));
    // Fit: the whole picture inside the square, centred, at the knob's lowest end.
    w.window->actions()->fit->trigger();
    EXPECT_EQ(w.editor().zoom(), 0.75);
    EXPECT_EQ(w.editor().offset(), QPointF(0, 0));
    EXPECT_EQ(slider->value(), slider->minimum());
}

TEST(CropArea, DragNeedsTenPixelsThenFollowsFromAFixedBase) {
    Window w;
    w.editor().setImage(solidPicture(400, 300), QStringLiteral("x"));
    w.editor().setZoom(2);
    CropArea* area = w.cropArea();
    QSignalSpy chooseRequests(area, &CropArea::chooseRequested);
    mouse(area, QEvent::MouseButtonPress, {100, 100}, Qt::LeftButton);
    mouse(area, QEvent::MouseMove, {106, 104}, Qt::LeftButton);
    EXPECT_FALSE(area->isPanning());
    EXPECT_EQ(w.editor().offset(), QPointF(0, 0));
    mouse(area, QEvent::MouseMove, {112, 100}, Qt::LeftButton);
    EXPECT_TRUE(area->isPanning());
    EXPECT_EQ(w.editor().offset(), QPointF(12, 0));
    mouse(area, QEvent::MouseMove, {100, 400}, Qt::LeftButton); // past the limit: stops there
    EXPECT_EQ(w.editor().offset(), QPointF(0, 170));
    mouse(area, QEvent::MouseMove, {80, 130}, Qt::LeftButton);  // and comes straight back
    EXPECT_EQ(w.editor().offset(), QPointF(-20, 30));
    mouse(area, QEvent::MouseButtonRelease, {80, 130}, Qt::NoButton);
    EXPECT_FALSE(area->isPanning());
    EXPECT_EQ(w.editor().offset(), QPointF(-20, 30));
    EXPECT_EQ(chooseRequests.count(), 0); // a drag is no click
}

TEST(CropArea, ANewPictureEndsTheDrag) {
    Window w;
    w.editor().setImage(solidPicture(400, 300), QStringLiteral("x"));
    w.editor().setZoom(2);
    CropArea* area = w.cropArea();
    mouse(area, QEvent::MouseButtonPress, {100, 100}, Qt::LeftButton);
    mouse(area, QEvent::MouseMove, {130, 100}, Qt::LeftButton);
    ASSERT_TRUE(area->isPanning());
    w.editor().setImage(solidPicture(400, 300), QStringLiteral("y")); // pasted with the button held
    EXPECT_FALSE(area->isPanning());
    w.editor().setZoom(2);
    mouse(area, QEvent::MouseMove, {150, 100}, Qt::LeftButton);
    EXPECT_EQ(w.editor().offset(), QPointF(0, 0));
}

namespace {

// Where a point of the square lands on the picture, in picture pixels, under the editor's framing.
QPointF pictureAt(const EmojiEditor& editor, QPointF squarePoint) {
    const QRectF placed = CropFrame(editor.image()->nominalSize(), editor.zoom()).placement(editor.offset(), kCropSide);
    return QPointF((squarePoint.x() - placed.x()) / placed.width() * editor.image()->nominalSize().width(),
                   (squarePoint.y() - placed.y()) / placed.height() * editor.image()->nominalSize().height());
}

void wheel(QWidget* target, QPointF at, int delta) {
    QWheelEvent event(at, target->mapToGlobal(at), QPoint(), QPoint(0, delta), Qt::NoButton, Qt::NoModifier,
                      Qt::NoScrollPhase, false);
    QApplication::sendEvent(target, &event);
}

} // namespace

TEST(CropArea, WheelAndPinchZoomTowardThePointerWithinTheRange) {
    Window w;
    w.editor().setImage(solidPicture(400, 300), QStringLiteral("x"));
    CropArea* area = w.cropArea();
    ZoomSlider* slider = w.window->findChild<ZoomSlider*>();
    const QPointF pointer(250, 120);
    const QPointF before = pictureAt(w.editor(), pointer);
    wheel(area, pointer, 120);
    EXPECT_NEAR(w.editor().zoom(), CropArea::kZoomStep, 1e-12);
    EXPECT_EQ(slider->value(), slider->valueFor(w.editor().zoom())); // the slider in step
    const QPointF after = pictureAt(w.editor(), pointer);
    EXPECT_NEAR(after.x(), before.x(), 1e-6);
    EXPECT_NEAR(after.y(), before.y(), 1e-6);

    QNativeGestureEvent pinch(Qt::ZoomNativeGesture, QPointingDevice::primaryPointingDevice(), 2, pointer,
                              pointer, area->mapToGlobal(pointer), 0.5, QPointF(), 0);
    QApplication::sendEvent(area, &pinch);
    EXPECT_NEAR(w.editor().zoom(), CropArea::kZoomStep * 1.5, 1e-12);
    EXPECT_NEAR(pictureAt(w.editor(), pointer).x(), before.x(), 1e-6);

    for (int i = 0; i < 20; ++i)
        wheel(area, {10, 10}, 120);
    EXPECT_EQ(w.editor().zoom(), kMaxZoom);
    for (int i = 0; i < 20; ++i)
        wheel(area, {10, 10}, -120);
    // Down to the zoom at which the whole picture fits, centred.
    EXPECT_EQ(w.editor().zoom(), fitZoom(QSizeF(400, 300)));
    EXPECT_EQ(w.editor().offset(), QPointF(0, 0));
    // Back at the smallest zoom, the offset is clamped as for the slider.
    EXPECT_EQ(w.editor().offset(), w.editor().clamped(w.editor().offset()));
    EXPECT_LE(std::abs(w.editor().offset().x()), CropFrame(QSizeF(400, 300), 1).limits().x());
}

TEST(CropArea, KeysPanZoomAndResetAndADoubleClickResets) {
    Window w;
    w.editor().setImage(solidPicture(400, 300), QStringLiteral("x"));
    CropArea* area = w.cropArea();
    area->setFocus(Qt::TabFocusReason);
    QTest::keyClick(area, Qt::Key_Plus, Qt::ControlModifier);
    EXPECT_NEAR(w.editor().zoom(), CropArea::kZoomStep, 1e-12);
    EXPECT_EQ(w.editor().offset(), QPointF(0, 0)); // about the centre
    QTest::keyClick(area, Qt::Key_Right);
    QTest::keyClick(area, Qt::Key_Down, Qt::ShiftModifier);
    EXPECT_EQ(w.editor().offset(), QPointF(1, 10));
    QTest::keyClick(area, Qt::Key_0, Qt::ControlModifier);
    EXPECT_EQ(w.editor().zoom(), 1);
    EXPECT_EQ(w.editor().offset(), QPointF(0, 0));

    w.editor().setZoom(3);
    w.editor().setOffset({40, 40});
    QTest::mouseDClick(area, Qt::LeftButton, Qt::NoModifier, QPoint(100, 100));
    EXPECT_EQ(w.editor().zoom(), 1);
    EXPECT_EQ(w.editor().offset(), QPointF(0, 0));
}

TEST(CropArea, WithABrushOnAStrokeMarksAndNothingMovesOrResets) {
    Window w;
    // A disc on a plain ground, its background removed: the brushes are on offer.
    w.editor().setImage(makePicture(makeImage(400, 300, 3, [](int x, int y, int b) {
                            return std::hypot(x - 200, y - 150) < 100 ? (b == 0 ? 230 : 40) : (b == 2 ? 220 : 30);
                        })),
                        QStringLiteral("disc"));
    w.editor().removeBackground();
    ASSERT_TRUE(w.settle());
    ASSERT_TRUE(w.window->actions()->markRemove->isEnabled());
    w.window->actions()->markRemove->trigger();
    w.editor().setZoom(2);
    w.editor().setOffset({30, 20});
    CropArea* area = w.cropArea();
    mouse(area, QEvent::MouseButtonPress, {150, 150}, Qt::LeftButton);
    mouse(area, QEvent::MouseMove, {200, 160}, Qt::LeftButton);
    mouse(area, QEvent::MouseButtonRelease, {200, 160}, Qt::NoButton);
    // While the mark is made, a press neither paints nor moves the picture.
    mouse(area, QEvent::MouseButtonPress, {100, 100}, Qt::LeftButton);
    mouse(area, QEvent::MouseMove, {140, 100}, Qt::LeftButton);
    mouse(area, QEvent::MouseButtonRelease, {140, 100}, Qt::NoButton);
    ASSERT_TRUE(w.settle());
    EXPECT_EQ(w.editor().offset(), QPointF(30, 20));
    EXPECT_EQ(w.editor().undoStack()->undoText(), QStringLiteral("Mark to Remove"));
    // Two quick dabs are marks, not a reset of the framing.
    QTest::mouseDClick(area, Qt::LeftButton, Qt::NoModifier, QPoint(120, 120));
    ASSERT_TRUE(w.settle());
    EXPECT_EQ(w.editor().zoom(), 2);
    EXPECT_EQ(w.editor().offset(), QPointF(30, 20));
    // Put down, the brush gives the drag back to the picture.
    w.window->actions()->markRemove->trigger();
    mouse(area, QEvent::MouseButtonPress, {100, 100}, Qt::LeftButton);
    mouse(area, QEvent::MouseMove, {120, 100}, Qt::LeftButton);
    mouse(area, QEvent::MouseButtonRelease, {120, 100}, Qt::NoButton);
    EXPECT_EQ(w.editor().offset(), QPointF(50, 20));
}

TEST(CropArea, AClickOpensTheChooserOnlyWhileEmpty) {
    Window w;
    CropArea* area = w.cropArea();
    QSignalSpy requests(area, &CropArea::chooseRequested);
    w.editor().setImage(solidPicture(50, 50), QStringLiteral("x"));
    mouse(area, QEvent::MouseButtonPress, {2, 2}, Qt::LeftButton);
    mouse(area, QEvent::MouseButtonRelease, {2, 2}, Qt::NoButton);
    EXPECT_EQ(requests.count(), 0);

    Window empty;
    QSignalSpy chooser(empty.window->actions()->choosePhoto, &QAction::triggered);
    // The very corner, outside the rounded edge, still counts.
    mouse(empty.cropArea(), QEvent::MouseButtonPress, {0.5, 0.5}, Qt::LeftButton);
    mouse(empty.cropArea(), QEvent::MouseButtonRelease, {0.5, 0.5}, Qt::NoButton);
    EXPECT_EQ(chooser.count(), 1);
}

TEST(CropArea, OnlyFileDragsHighlightTheBorderAndDropLoadsTheFirstFile) {
    Window w;
    CropArea* area = w.cropArea();
    const QColor idle = area->grab().toImage().pixelColor(0, 170);

    QMimeData text;
    text.setText(QStringLiteral("/tmp/a.png"));
    text.setData(QStringLiteral("image/png"), encode(makeImage(4, 4, 3, [](int, int, int) { return 9; }), ".png"));
    QDragEnterEvent refused(QPoint(100, 100), Qt::CopyAction, &text, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(area, &refused);
    EXPECT_FALSE(refused.isAccepted());
    EXPECT_FALSE(area->isDropHighlighted());

    QMimeData files;
    files.setUrls({QUrl(QStringLiteral("https://example.org/x.png")), urlFromLocalPath(writePictureFile("First Pick.png")),
                   urlFromLocalPath(writePictureFile("second.png"))});
    QDragEnterEvent enter(QPoint(100, 100), Qt::CopyAction, &files, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(area, &enter);
    EXPECT_TRUE(enter.isAccepted());
    EXPECT_TRUE(area->isDropHighlighted());
    const QColor highlighted = area->grab().toImage().pixelColor(0, 170);
    EXPECT_NE(highlighted, idle);
    EXPECT_EQ(area->grab().toImage().pixelColor(1, 170), highlighted); // two pixels wide

    // Shift proposes a move; the file is copied all the same, so its source keeps it.
    QDropEvent drop(QPointF(100, 100), Qt::CopyAction | Qt::MoveAction, &files, Qt::LeftButton, Qt::ShiftModifier);
    ASSERT_EQ(drop.proposedAction(), Qt::MoveAction);
    QApplication::sendEvent(area, &drop);
    EXPECT_TRUE(drop.isAccepted());
    EXPECT_EQ(drop.dropAction(), Qt::CopyAction);
    EXPECT_FALSE(area->isDropHighlighted());
    EXPECT_FALSE(w.editor().image()); // loaded only once the event loop turns
    ASSERT_TRUE(QTest::qWaitFor([&] { return bool(w.editor().image()); }, 10000));
    EXPECT_EQ(w.editor().emojiName(), QStringLiteral("first-pick"));
    EXPECT_NE(area->grab().toImage().pixelColor(1, 170), highlighted); // back to one pixel
}

TEST(Decorations, CheckerboardCellsAndColours) {
    const QList<QRectF> cells = Checkerboard::darkCells(QSizeF(340, 340));
    EXPECT_EQ(cells.size(), 578);
    EXPECT_EQ(cells[0], QRectF(0, 0, 10, 10));
    EXPECT_EQ(cells[17], QRectF(10, 10, 10, 10)); // row 1 starts at x = 10
    EXPECT_FALSE(cells.contains(QRectF(10, 0, 10, 10)));
    EXPECT_EQ(Checkerboard::darkCells(QSizeF(345, 345)).last().bottom(), 350); // 35 rows, cut
    EXPECT_TRUE(Checkerboard::darkCells(QSizeF(340, 0)).isEmpty());

    QImage canvas(345, 345, QImage::Format_ARGB32_Premultiplied);
    canvas.fill(Qt::transparent);
    QPainter painter(&canvas);
    Checkerboard::paint(painter, QSizeF(345, 345));
    painter.end();
    EXPECT_EQ(canvas.pixelColor(5, 5), QColor(217, 217, 217));
    EXPECT_EQ(canvas.pixelColor(15, 5), QColor(242, 242, 242));
    EXPECT_EQ(canvas.pixelColor(344, 344), QColor(217, 217, 217)); // the cut last cell is dark

    const auto lines = ThirdsGrid::lines(340);
    EXPECT_NEAR(lines[0].x1(), 113.333333, 1e-5);
    EXPECT_NEAR(lines[3].y1(), 226.666667, 1e-5);
    EXPECT_EQ(lines[1].length(), 340);
}
