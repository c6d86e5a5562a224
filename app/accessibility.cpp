#include "app/accessibility.h"

#include "app/mainwindow.h"
#include "render/pagegeometry.h"
#include "app/keymap.h"

#include <QAccessibleWidget>
#include <QLabel>

namespace app {

namespace {
const QString kPageName = QStringLiteral("page");
const QString kCodeBoxName = QStringLiteral("SOURCE CODE");

// The SOURCE CODE box: a check box, checked while the page shows the source.
class CodeBoxAccessible : public QAccessibleWidget {
public:
    explicit CodeBoxAccessible(QWidget *box) : QAccessibleWidget(box, QAccessible::CheckBox) {}

    QAccessible::State state() const override
    {
        QAccessible::State s = QAccessibleWidget::state();
        s.checkable = true;
        s.checked = form() && form()->editor().state().sourceMode == markup::DisplayMode::Source;
        return s;
    }
    QString text(QAccessible::Text t) const override
    {
        return t == QAccessible::Name ? kCodeBoxName : QAccessibleWidget::text(t);
    }
    QStringList actionNames() const override { return {toggleAction()}; }
    void doAction(const QString &action) override
    {
        if ((action == toggleAction() || action == pressAction()) && form())
            form()->handle([this] { form()->sourceBoxClicked(); });
    }

private:
    MainWindow *form() const { return qobject_cast<MainWindow *>(widget()->window()); }
};

QAccessibleInterface *codeBoxFactory(const QString &key, QObject *object)
{
    if (key == QLatin1String(CodeBox::staticMetaObject.className()))
        if (auto *box = qobject_cast<CodeBox *>(object))
            return new CodeBoxAccessible(box);
    return nullptr;
}
} // namespace

void installCodeBoxAccessibleFactory()
{
    static const bool installed = [] {
        QAccessible::installFactory(codeBoxFactory);
        return true;
    }();
    (void)installed;
}

EditorAccessibility::EditorAccessibility(MainWindow &form)
    : form_(form), text_(1, doc::kLines, [&form](int line) { return form.editor().grid().getLine(line); })
{
}

render::PageText &EditorAccessibility::pageText()
{
    text_.setMode(form_.editor().state().sourceMode);
    const doc::LineSpan changed = form_.editor().grid().takeChangedLines();
    text_.refresh(changed.first, changed.last);
    return text_;
}

PageNews EditorAccessibility::takeNews()
{
    PageNews news;
    const doc::EditorState &s = form_.editor().state();
    const bool source = s.sourceMode == markup::DisplayMode::Source;
    news.sourceToggled = source != announcedSource_;
    announcedSource_ = source;
    // A new display mode reads every line again, changed ones included.
    news.changes = text_.setMode(s.sourceMode);
    const doc::LineSpan changed = form_.editor().grid().takeChangedLines();
    if (news.changes.empty())
        news.changes = text_.refresh(changed.first, changed.last);
    news.caret = text_.offsetOf(s.cursorLine, s.cursorColumn);
    // An edit moves the caret for the reader even where its offset stays.
    news.caretMoved = news.caret != announcedCaret_ || !news.changes.empty();
    announcedCaret_ = news.caret;
    return news;
}

void EditorAccessibility::announceChanges()
{
    const PageNews news = takeNews();
    if (news.sourceToggled) {
        QAccessible::State checked;
        checked.checked = true;
        QAccessibleStateChangeEvent e(form_.codebox(), checked);
        QAccessible::updateAccessibility(&e);
    }
    if (news.caretMoved)
        view::announcePageChange(form_.helpbox(), news.changes, news.caret);
}

void EditorAccessibility::announceFocus()
{
    // The window takes the keys and hands them to the page; a reader follows
    // the caret of the object it was told has the focus.
    QAccessibleEvent e(form_.helpbox(), QAccessible::Focus);
    QAccessible::updateAccessibility(&e);
}

void EditorAccessibility::announceMessage(QLabel *message, bool same)
{
    // Qt sends the name change itself when the text differs; a repeated message
    // is news all the same.
    if (same) {
        QAccessibleEvent named(message, QAccessible::NameChanged);
        QAccessible::updateAccessibility(&named);
    }
    QAccessibleEvent alert(message, QAccessible::Alert);
    QAccessible::updateAccessibility(&alert);
}

int EditorAccessibility::caretOffset()
{
    const doc::EditorState &s = form_.editor().state();
    return pageText().offsetOf(s.cursorLine, s.cursorColumn);
}

void EditorAccessibility::setCaretOffset(int offset)
{
    const render::TextPosition at = pageText().positionAt(offset);
    form_.handle([&] { form_.editor().moveCaretTo(at.line, at.column); });
}

bool EditorAccessibility::lineShown(int line) const
{
    const int top = form_.editor().state().topLine;
    return line >= top && line < top + doc::kRows;
}

QRect EditorAccessibility::characterRect(int offset)
{
    render::PageText &text = pageText();
    if (offset < 0 || offset > text.length())
        return {};
    const render::TextPosition at = text.positionAt(offset);
    if (!lineShown(at.line))
        return {};
    const bool character = offset < text.length() && text.text()[offset] != QLatin1Char('\n');
    const int left = form_.pageView().columnX(at.column, at.line);
    // A line's end has no character: a box as wide as the caret stands there.
    const int right = character ? form_.pageView().columnX(at.column + 1, at.line) : left + 1;
    return QRect(left, render::rowTop(at.line, form_.editor().state().topLine), right - left, render::kRowHeight);
}

int EditorAccessibility::offsetAt(QPoint point)
{
    if (point.x() < 0 || point.y() < 0 || point.x() >= render::kPageSize || point.y() >= render::kPageSize)
        return -1;
    const int line = render::lineAtY(point.y(), form_.editor().state().topLine);
    render::PageText &text = pageText();
    return view::offsetAtX(*this, text.lineStart(line), text.offsetOf(line, doc::kColumns + 1), point.x());
}

QString EditorAccessibility::name() const
{
    return kPageName;
}

void EditorAccessibility::insertText(int offset, const QString &text)
{
    setCaretOffset(offset);
    for (const QChar c : text) {
        // A line break is Enter: the caret goes on to the next line, as typed.
        const std::vector<uint8_t> typed = c == QLatin1Char('\n') ? std::vector<uint8_t>{13} : textChars(c);
        form_.handle([&] {
            for (uint8_t ch : typed)
                form_.editor().handleKeyPress(ch);
        });
    }
}

void EditorAccessibility::deleteText(int start, int end)
{
    // From the last character back, so that the offsets before stay where they
    // are; a line break stays, as Delete never joins lines.
    for (int offset = std::min(end, pageText().length()) - 1; offset >= std::max(start, 0); --offset) {
        if (pageText().text()[offset] == QLatin1Char('\n'))
            continue;
        setCaretOffset(offset);
        form_.handle([this] { form_.editor().handleKeyDown(doc::vk::Delete, 0); });
    }
}

} // namespace app
