#include "view/pageaccessible.h"

#include "view/surface.h"
#include "view/windowscale.h"

namespace view {

namespace {
QAccessibleInterface *pageFactory(const QString &key, QObject *object)
{
    // Asked once per class of the object's ancestry; answer for its own class only.
    if (key != QLatin1String(PaintSurface::staticMetaObject.className()))
        return nullptr;
    if (auto *surface = qobject_cast<PaintSurface *>(object))
        return new PageAccessible(surface);
    return nullptr;
}
} // namespace

void installPageAccessibleFactory()
{
    static const bool installed = [] {
        QAccessible::installFactory(pageFactory);
        return true;
    }();
    (void)installed;
}

PageAccessible::PageAccessible(PaintSurface *surface)
    : QAccessibleWidget(surface, QAccessible::EditableText), surface_(surface)
{
}

PageTextAccess *PageAccessible::access() const
{
    return surface_->textAccess();
}

QAccessible::State PageAccessible::state() const
{
    QAccessible::State s = QAccessibleWidget::state();
    const PageTextAccess *a = access();
    s.multiLine = true;
    s.editable = a && a->isEditable();
    s.readOnly = !s.editable;
    // The keys reach the window, which hands them to the page: the page is
    // where typing goes whenever its window has the focus.
    s.focusable = true;
    s.focused = surface_->window()->isActiveWindow();
    return s;
}

QString PageAccessible::text(QAccessible::Text t) const
{
    if (t == QAccessible::Name && access())
        return access()->name();
    return QAccessibleWidget::text(t);
}

void *PageAccessible::interface_cast(QAccessible::InterfaceType type)
{
    if (type == QAccessible::TextInterface)
        return static_cast<QAccessibleTextInterface *>(this);
    if (type == QAccessible::EditableTextInterface && access() && access()->isEditable())
        return static_cast<QAccessibleEditableTextInterface *>(this);
    return QAccessibleWidget::interface_cast(type);
}

void PageAccessible::selection(int, int *startOffset, int *endOffset) const
{
    *startOffset = 0;
    *endOffset = 0;
}

int PageAccessible::cursorPosition() const
{
    return access() ? access()->caretOffset() : 0;
}

void PageAccessible::setCursorPosition(int position)
{
    if (access())
        access()->setCaretOffset(position);
}

QString PageAccessible::text(int startOffset, int endOffset) const
{
    if (!access())
        return {};
    const QString &all = access()->pageText().text();
    if (endOffset < 0 || endOffset > all.size())
        endOffset = int(all.size());
    if (startOffset < 0 || startOffset >= endOffset)
        return {};
    return all.mid(startOffset, endOffset - startOffset);
}

int PageAccessible::characterCount() const
{
    return access() ? access()->pageText().length() : 0;
}

QRect PageAccessible::characterRect(int offset) const
{
    const QRect r = access() ? access()->characterRect(offset) : QRect();
    if (r.isEmpty())
        return {};
    // The box on the screen: on a scaled window, the logical box times the scale.
    const QRect shown = toWindow(r, surface_->scale());
    return QRect(surface_->mapToGlobal(shown.topLeft()), shown.size());
}

int PageAccessible::offsetAtPoint(const QPoint &point) const
{
    return access() ? access()->offsetAt(surface_->logicalPosition(surface_->mapFromGlobal(point))) : -1;
}

void PageAccessible::scrollToSubstring(int, int)
{
    // The page follows its caret; moving it is the reader's own call (setCursorPosition).
}

QString PageAccessible::attributes(int offset, int *startOffset, int *endOffset) const
{
    *startOffset = offset;
    *endOffset = offset;
    return {};
}

void PageAccessible::deleteText(int startOffset, int endOffset)
{
    if (access())
        access()->deleteText(startOffset, endOffset);
}

void PageAccessible::insertText(int offset, const QString &text)
{
    if (access())
        access()->insertText(offset, text);
}

void PageAccessible::replaceText(int startOffset, int endOffset, const QString &text)
{
    if (!access())
        return;
    access()->deleteText(startOffset, endOffset);
    access()->insertText(startOffset, text);
}

int offsetAtX(PageTextAccess &access, int start, int end, int x)
{
    for (int offset = start; offset < end; ++offset) {
        const QRect box = access.characterRect(offset);
        if (x >= box.left() && x <= box.right())
            return offset;
    }
    return -1;
}

void announcePageChange(QObject *surface, const render::TextChanges &changes, int caret)
{
    for (const render::TextChange &change : changes) {
        if (!change.removed.isEmpty()) {
            QAccessibleTextRemoveEvent e(surface, change.offset, change.removed);
            QAccessible::updateAccessibility(&e);
        }
        if (!change.inserted.isEmpty()) {
            QAccessibleTextInsertEvent e(surface, change.offset, change.inserted);
            QAccessible::updateAccessibility(&e);
        }
    }
    QAccessibleTextCursorEvent e(surface, caret);
    QAccessible::updateAccessibility(&e);
}

} // namespace view
