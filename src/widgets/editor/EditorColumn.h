#pragma once

// The left column: heading, crop square, zoom row and hint (only with a picture), and the buttons
// to choose, paste and reset.

#include "core/CropGeometry.h"

#include <QWidget>

class QAction;
class QPushButton;
class QSlider;

namespace cropling {

class CropArea;
class EmojiEditor;

class EditorColumn : public QWidget {
    Q_OBJECT
public:
    // The buttons trigger the window's actions for choosing and pasting, and show their texts.
    EditorColumn(EmojiEditor* editor, QAction* choosePhoto, QAction* paste, QWidget* parent = nullptr);

    // The slider works in thousandths of a zoom step: continuous to the eye, exact at both ends.
    static int sliderSteps();
    static double zoomForSlider(int value) { return kMinZoom + value / 1000.0; }
    static int sliderForZoom(double zoom);

    CropArea* cropArea() const { return cropArea_; }

private:
    void showPictureControls();
    void showZoom();

    EmojiEditor* editor_;
    QAction* choosePhoto_;
    CropArea* cropArea_;
    QWidget* zoomRow_;
    QWidget* hint_;
    QSlider* slider_;
    QPushButton* choose_;
    QPushButton* reset_;
};

} // namespace cropling
