#pragma once
// The page as assistive technology sees it (a screen reader, a magnifier): a
// multi-line text object with a caret, whose text is the page's text as shown.
// The window that owns the page answers through PageTextAccess; the
// interface class here only passes the questions on.

#include "render/pagetext.h"

#include <QAccessibleWidget>
#include <QRect>

namespace view {

class PaintSurface;

// What the page's window tells assistive technology. Offsets count in the
// page's text; rectangles are in the surface's own coordinates.
class PageTextAccess {
public:
    virtual ~PageTextAccess() = default;
    // Returns the page's text, up to date.
    virtual render::PageText &pageText() = 0;
    // Returns the caret's offset.
    virtual int caretOffset() = 0;
    // Moves the caret before the character at offset; does nothing on a read-only page.
    virtual void setCaretOffset(int offset) = 0;
    // Returns the box of the character at offset, or an empty one when its line is not shown.
    virtual QRect characterRect(int offset) = 0;
    // Returns the offset of the character under point, or -1.
    virtual int offsetAt(QPoint point) = 0;
    // Returns whether the text can be edited.
    virtual bool isEditable() const = 0;
    // Returns the page's accessible name.
    virtual QString name() const = 0;
    // Types text before offset as the keyboard would; does nothing on a read-only page.
    virtual void insertText(int offset, const QString &text) = 0;
    // Deletes the characters from start up to end as Delete would, line breaks excepted.
    virtual void deleteText(int start, int end) = 0;
};

// The accessible interface of a page surface; its questions go to the
// surface's PageTextAccess (an empty text while it has none).
class PageAccessible : public QAccessibleWidget,
                       public QAccessibleTextInterface,
                       public QAccessibleEditableTextInterface {
public:
    explicit PageAccessible(PaintSurface *surface);

    // QAccessibleInterface: an editable text, named by the window.
    QAccessible::State state() const override;
    QString text(QAccessible::Text t) const override;
    void *interface_cast(QAccessible::InterfaceType type) override;

    // QAccessibleTextInterface: the page has no selection.
    void selection(int selectionIndex, int *startOffset, int *endOffset) const override;
    int selectionCount() const override { return 0; }
    void addSelection(int, int) override {}
    void removeSelection(int) override {}
    void setSelection(int, int, int) override {}
    int cursorPosition() const override;
    void setCursorPosition(int position) override;
    QString text(int startOffset, int endOffset) const override;
    int characterCount() const override;
    QRect characterRect(int offset) const override;
    int offsetAtPoint(const QPoint &point) const override;
    void scrollToSubstring(int startIndex, int endIndex) override;
    QString attributes(int offset, int *startOffset, int *endOffset) const override;

    // QAccessibleEditableTextInterface, through the window's own commands.
    void deleteText(int startOffset, int endOffset) override;
    void insertText(int offset, const QString &text) override;
    void replaceText(int startOffset, int endOffset, const QString &text) override;

private:
    PageTextAccess *access() const;
    PaintSurface *surface_;
};

// Returns the offset from start up to end whose character box (in access) holds x, or -1.
int offsetAtX(PageTextAccess &access, int start, int end, int x);

// Makes assistive technology see every page surface through PageAccessible; once is enough.
void installPageAccessibleFactory();

// Tells listening assistive technology that the text of surface changed as
// changes say, in their order, and that its caret now stands at caret.
void announcePageChange(QObject *surface, const render::TextChanges &changes, int caret);

} // namespace view
