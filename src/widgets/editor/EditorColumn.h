#pragma once

// The left column: heading, crop square, zoom row, tool row and hint (only with a picture), and
// the buttons to choose, paste and reset.

#include "core/CropGeometry.h"
#include "widgets/editor/ToolRow.h"

#include <QWidget>

class QAction;
class QLabel;
class QSpinBox;
class QPushButton;

namespace cropling {

class CropArea;
class EmojiEditor;
class SymbolButton;
class ZoomSlider;

class EditorColumn : public QWidget {
    Q_OBJECT
public:
    // The buttons trigger the window's actions for choosing and pasting, and show their texts;
    // the tools' symbols trigger theirs.
    EditorColumn(EmojiEditor* editor, QAction* choosePhoto, QAction* paste, const std::vector<std::vector<Tool>>& tools,
                 QWidget* parent = nullptr);

    CropArea* cropArea() const { return cropArea_; }
    ZoomSlider* slider() const { return slider_; }

private:
    void showPictureControls();
    void showZoom();
    void showPlaying(bool playing);

    EmojiEditor* editor_;
    QAction* choosePhoto_;
    CropArea* cropArea_;
    QWidget* zoomRow_;
    QWidget* hint_;
    ZoomSlider* slider_;
    QLabel* readout_;
    SymbolButton* play_;
    QWidget* animationRow_;
    QLabel* animationInfo_;
    QSpinBox* maxKilobytes_;
    QPushButton* choose_;
    QPushButton* reset_;
    ToolRow* toolRow_;
};

} // namespace cropling
