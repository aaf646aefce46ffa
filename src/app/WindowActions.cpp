#include "WindowActions.h"

#include "app/ClipboardReader.h"
#include "app/RecentPictures.h"
#include "core/Orientation.h"
#include "model/EmojiEditor.h"

#include <QAction>
#include <QActionGroup>
#include <QInputDialog>
#include <QLineEdit>
#include <QMenu>
#include <QSignalBlocker>
#include <QMenuBar>
#include <QMimeData>
#include <QUndoStack>
#include <QWidget>

namespace cropling {

namespace {

QAction* makeAction(QWidget* window, const QString& text, const QKeySequence& shortcut) {
    auto* action = new QAction(text, window);
    action->setShortcut(shortcut);
    // Window-wide, so the shortcut works wherever focus is inside this window and nowhere else.
    action->setShortcutContext(Qt::WindowShortcut);
    window->addAction(action);
    return action;
}

} // namespace

WindowActions::WindowActions(EmojiEditor* editor, QWidget* window) : QObject(window), editor_(editor) {
    newWindow = makeAction(window, tr("New Window"), QKeySequence::New);
    choosePhoto = makeAction(window, tr("Choose Photo…"), QKeySequence::Open);
    save = makeAction(window, saveTexts().constFirst(), QKeySequence::Save);
    closeWindow = makeAction(window, tr("Close Window"), QKeySequence::Close);
    quit = makeAction(window, tr("Quit"), QKeySequence::Quit);
    copy = makeAction(window, tr("Copy to Clipboard"), QKeySequence::Copy);
    paste = makeAction(window, tr("Paste Photo"), QKeySequence::Paste);
    // The history's own actions name the step: "Undo Zoom", "Redo Move". The texts are ours, so
    // that a language places the step's name where it belongs and says the action alone without
    // a dangling colon when there is nothing to name.
    QUndoStack* history = editor_->undoStack();
    undo = history->createUndoAction(window);
    undo->setShortcuts(QKeySequence::Undo);
    redo = history->createRedoAction(window);
    const auto naming = [](QAction* action, const QString& alone, const QString& withStep) {
        return [action, alone, withStep](const QString& step) { action->setText(step.isEmpty() ? alone : withStep.arg(step)); };
    };
    const auto nameUndo = naming(undo, tr("Undo"), tr("Undo %1"));
    const auto nameRedo = naming(redo, tr("Redo"), tr("Redo %1"));
    connect(history, &QUndoStack::undoTextChanged, undo, nameUndo);
    connect(history, &QUndoStack::redoTextChanged, redo, nameRedo);
    nameUndo(history->undoText());
    nameRedo(history->redoText());
    redo->setShortcuts({QKeySequence(QKeySequence::Redo), QKeySequence(Qt::CTRL | Qt::Key_Y)});
    for (QAction* step : {undo, redo}) {
        step->setShortcutContext(Qt::WindowShortcut);
        window->addAction(step);
    }
    fit = makeAction(window, tr("Fit"), QKeySequence(Qt::CTRL | Qt::Key_9));
    autoFrame = makeAction(window, tr("Auto-Frame"), QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_F));
    autoFrame->setToolTip(tr("Frame the face"));
    rotateLeft = makeAction(window, tr("Rotate Left"), QKeySequence(Qt::CTRL | Qt::Key_L));
    rotateRight = makeAction(window, tr("Rotate Right"), QKeySequence(Qt::CTRL | Qt::Key_R));
    flip = makeAction(window, tr("Flip Horizontally"), QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_H));
    removeBackground = makeAction(window, tr("Remove Background"), QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_B));
    removeBackground->setToolTip(tr("Make a plain background transparent"));
    connect(removeBackground, &QAction::triggered, editor_, &EmojiEditor::removeBackground);
    markKeep = makeAction(window, tr("Mark to Keep"), QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_K));
    markKeep->setToolTip(tr("Paint over what the removal took but should keep"));
    markRemove = makeAction(window, tr("Mark to Remove"), QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_J));
    markRemove->setToolTip(tr("Paint over what the removal left but should take"));
    auto* brushes = new QActionGroup(this);
    brushes->setExclusionPolicy(QActionGroup::ExclusionPolicy::ExclusiveOptional);
    for (QAction* brush : {markKeep, markRemove}) {
        brush->setCheckable(true);
        brushes->addAction(brush);
    }
    makeEffectMenu(window);
    shortcuts = makeAction(window, tr("Keyboard Shortcuts"), QKeySequence());
    about = makeAction(window, tr("About Cropling"), QKeySequence());
    about->setMenuRole(QAction::AboutRole);

    connect(paste, &QAction::triggered, this, &WindowActions::pasteFromClipboard);
    connect(save, &QAction::triggered, editor_, &EmojiEditor::save);
    connect(copy, &QAction::triggered, editor_, [this] { editor_->copyToClipboard(); });
    connect(fit, &QAction::triggered, editor_, &EmojiEditor::fitToSquare);
    connect(autoFrame, &QAction::triggered, editor_, &EmojiEditor::autoFrame);
    connect(rotateLeft, &QAction::triggered, editor_, [this] { editor_->turnPicture(kTurnLeft); });
    connect(rotateRight, &QAction::triggered, editor_, [this] { editor_->turnPicture(kTurnRight); });
    connect(flip, &QAction::triggered, editor_, [this] { editor_->turnPicture(kFlipAcross); });
    connect(closeWindow, &QAction::triggered, window, &QWidget::close);
    connect(editor_, &EmojiEditor::imageChanged, this, &WindowActions::enableFromEditor);
    enableFromEditor();
}

void WindowActions::pasteFromClipboard() {
    if (!ClipboardReader::isAvailable())
        return editor_->pasteFromClipboard();
    // On X11 the clipboard is read on a worker: another program answers when it will.
    if (!clipboardReader_) {
        clipboardReader_ = new ClipboardReader(this);
        connect(clipboardReader_, &ClipboardReader::finished, this, [this](const std::shared_ptr<QMimeData>& offered) {
            paste->setEnabled(true);
            editor_->pasteFrom(offered.get());
        });
    }
    paste->setEnabled(false);
    editor_->status()->set(tr("Pasting…"));
    clipboardReader_->read();
}

void WindowActions::enableFromEditor() {
    // Without a picture there is nothing to export; a disabled action also ignores its shortcut.
    const bool hasPicture = bool(editor_->image());
    save->setText(saveTexts().at(hasPicture && (editor_->image()->isAnimated() || editor_->effect().animates()) ? 1 : 0));
    save->setEnabled(hasPicture);
    copy->setEnabled(hasPicture);
    for (const auto& group : tools()) {
        for (const Tool& tool : group)
            tool.action->setEnabled(hasPicture);
    }
    removeBackground->setEnabled(hasPicture && !editor_->hasClip());
    // The brushes are for a removed background; without one they are put down.
    for (QAction* brush : {markKeep, markRemove}) {
        brush->setEnabled(editor_->hasCutout());
        if (!brush->isEnabled())
            brush->setChecked(false);
    }
}

QStringList WindowActions::saveTexts() { return {tr("Save Emoji PNG…"), tr("Save Emoji GIF…")}; }

std::vector<std::vector<Tool>> WindowActions::tools() const {
    return {{{fit, QStringLiteral(":/icons/fit.svg")}, {autoFrame, QStringLiteral(":/icons/auto-frame.svg")}},
            {{rotateLeft, QStringLiteral(":/icons/rotate-left.svg")},
             {rotateRight, QStringLiteral(":/icons/rotate-right.svg")},
             {flip, QStringLiteral(":/icons/flip.svg")}},
            {{removeBackground, QStringLiteral(":/icons/cutout.svg")},
             {markKeep, QStringLiteral(":/icons/mark-keep.svg")},
             {markRemove, QStringLiteral(":/icons/mark-remove.svg")},
             {effects, QStringLiteral(":/icons/effects.svg")}}};
}

// One checkable item for each value, one of them checked at a time, each setting it in the effect.
template <typename T>
void WindowActions::addChoices(QMenu* menu, const std::vector<std::pair<T, QString>>& named,
                               std::vector<std::pair<QAction*, T>>* choices, void (*set)(EffectSettings&, T)) {
    auto* group = new QActionGroup(this);
    for (const auto& [value, text] : named) {
        QAction* choice = menu->addAction(text);
        choice->setCheckable(true);
        group->addAction(choice);
        choices->emplace_back(choice, value);
        connect(choice, &QAction::triggered, this, [this, set, value = value] {
            EffectSettings effect = editor_->effect();
            set(effect, value);
            editor_->setEffect(effect);
        });
    }
}

void WindowActions::makeEffectMenu(QWidget* window) {
    auto* menu = new QMenu(tr("Effect"), window);
    effects = menu->menuAction();
    effects->setText(tr("Effect"));
    effects->setToolTip(tr("Party, shake, spin or pulse, and a caption"));
    addChoices<Effect>(menu, {{Effect::None, tr("No Effect")}, {Effect::Party, tr("Party")}, {Effect::Shake, tr("Shake")},
                              {Effect::Spin, tr("Spin")}, {Effect::Pulse, tr("Pulse")}},
                       &effectChoices_, [](EffectSettings& effect, Effect kind) { effect.effect = kind; });
    menu->addSeparator();
    addChoices<EffectSpeed>(menu, {{EffectSpeed::Slow, tr("Slow")}, {EffectSpeed::Normal, tr("Normal Speed")},
                                   {EffectSpeed::Fast, tr("Fast")}},
                            &speedChoices_, [](EffectSettings& effect, EffectSpeed pace) { effect.speed = pace; });
    menu->addSeparator();
    caption = menu->addAction(tr("Caption…"));
    connect(caption, &QAction::triggered, this, [this, window] {
        bool ok = false;
        const QString text = QInputDialog::getText(window, tr("Caption"), tr("Text on every frame of the emoji:"),
                                                   QLineEdit::Normal, editor_->effect().caption, &ok);
        if (!ok)
            return;
        EffectSettings effect = editor_->effect();
        effect.caption = text.simplified();
        editor_->setEffect(effect);
    });
    captionAtTop_ = menu->addAction(tr("Caption at the Top"));
    captionAtTop_->setCheckable(true);
    connect(captionAtTop_, &QAction::toggled, this, [this](bool top) {
        EffectSettings effect = editor_->effect();
        effect.captionAtTop = top;
        editor_->setEffect(effect);
    });
    connect(editor_, &EmojiEditor::effectChanged, this, &WindowActions::showEffect);
    connect(editor_, &EmojiEditor::effectChanged, this, &WindowActions::enableFromEditor);
    showEffect();
}

void WindowActions::showEffect() {
    const EffectSettings& effect = editor_->effect();
    for (const auto& [choice, kind] : effectChoices_)
        choice->setChecked(kind == effect.effect);
    for (const auto& [choice, pace] : speedChoices_)
        choice->setChecked(pace == effect.speed);
    const QSignalBlocker quiet(captionAtTop_);
    captionAtTop_->setChecked(effect.captionAtTop);
}

void WindowActions::populate(QMenuBar* menuBar) const {
    QMenu* file = menuBar->addMenu(tr("&File"));
    file->addAction(newWindow);
    file->addAction(choosePhoto);
    // Read from the desktop's shared list each time it opens, so it shows what other windows and
    // programs added since.
    QMenu* recent = file->addMenu(tr("Open &Recent"));
    connect(recent, &QMenu::aboutToShow, recent, [this, recent] {
        recent->clear();
        const QList<QUrl> pictures = RecentPictures().pictures();
        for (const QUrl& picture : pictures)
            recent->addAction(picture.fileName(), editor_, [this, picture] { editor_->load(picture); });
        if (pictures.isEmpty())
            recent->addAction(tr("No Recent Pictures"))->setEnabled(false);
    });
    file->addAction(save);
    file->addSeparator();
    file->addAction(closeWindow);
    file->addAction(quit);
    QMenu* edit = menuBar->addMenu(tr("&Edit"));
    edit->addAction(undo);
    edit->addAction(redo);
    edit->addSeparator();
    edit->addAction(copy);
    edit->addAction(paste);
    // The framing tools, with their keys, where a user looks for tools.
    QMenu* toolMenu = menuBar->addMenu(tr("&Tools"));
    for (const auto& group : tools()) {
        if (!toolMenu->isEmpty())
            toolMenu->addSeparator();
        for (const Tool& tool : group)
            toolMenu->addAction(tool.action);
    }
    QMenu* help = menuBar->addMenu(tr("&Help"));
    help->addAction(shortcuts);
    help->addAction(about);
}

} // namespace cropling
