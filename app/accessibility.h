#pragma once
// The editor window as assistive technology sees it: the page as an editable
// text (through the page's PageTextAccess), SOURCE CODE as a check box, and
// the events that tell a listening screen reader what each command changed.
// Nothing here runs while no screen reader listens, except answering questions.

#include "view/pageaccessible.h"

#include <QString>

class QLabel;
class QWidget;

namespace app {

class MainWindow;

// What changed for a screen reader since it last heard: the page's text, the
// caret's offset, the SOURCE CODE box.
struct PageNews {
    render::TextChanges changes;
    int caret = 0;
    bool caretMoved = false;
    bool sourceToggled = false;
    // Returns whether there is anything to tell.
    bool isEmpty() const { return changes.empty() && !caretMoved && !sourceToggled; }
};

class EditorAccessibility : public view::PageTextAccess {
public:
    explicit EditorAccessibility(MainWindow &form);

    // Tells a listening screen reader what changed since the last call: the
    // page's text, its caret and the SOURCE CODE box. Call while one listens.
    void announceChanges();
    // Tells a listening screen reader that typing goes to the page (the window got the focus).
    void announceFocus();
    // Returns what changed since the last call (or announceChanges) and takes it as told.
    PageNews takeNews();
    // Announces the message line's new text; same is true when the text did
    // not change, which the label alone would keep quiet about.
    void announceMessage(QLabel *message, bool same);

    // PageTextAccess: the editor's document, caret and page.
    render::PageText &pageText() override;
    int caretOffset() override;
    void setCaretOffset(int offset) override;
    QRect characterRect(int offset) override;
    int offsetAt(QPoint point) override;
    bool isEditable() const override { return true; }
    QString name() const override;
    void insertText(int offset, const QString &text) override;
    void deleteText(int start, int end) override;

private:
    bool lineShown(int line) const;

    MainWindow &form_;
    render::PageText text_;
    int announcedCaret_ = -1;
    bool announcedSource_ = false;
};

// Makes assistive technology see the SOURCE CODE box as a check box; once is enough.
void installCodeBoxAccessibleFactory();

} // namespace app
