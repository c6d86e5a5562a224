#include "helpview/helpaccess.h"

#include "render/pagegeometry.h"
#include "helpview/helptext.h"
#include "helpview/helpviewer.h"

#include <QScrollBar>

namespace helpview {

HelpAccessibility::HelpAccessibility(HelpViewer &form)
    : form_(form), text_(0, int(helpText().size()) - 1, [](int index) { return helpText().at(index); })
{
}

void HelpAccessibility::announceCaret()
{
    view::announcePageChange(form_.pageSurface(), {}, caretOffset());
}

int HelpAccessibility::caretOffset()
{
    return text_.lineStart(form_.helpTopIndex());
}

void HelpAccessibility::setCaretOffset(int offset)
{
    // The bar keeps the position in its range and scrolls the page through its change handler.
    form_.pageBar()->setValue(text_.positionAt(offset).line);
}

QRect HelpAccessibility::characterRect(int offset)
{
    if (offset < 0 || offset > text_.length())
        return {};
    const render::TextPosition at = text_.positionAt(offset);
    const int top = form_.helpTopIndex();
    if (at.line < top || at.line >= top + doc::kRows)
        return {};
    const bool character = offset < text_.length() && text_.text()[offset] != QLatin1Char('\n');
    const int left = form_.measureHelpPrefix(at.column, at.line);
    const int right = character ? form_.measureHelpPrefix(at.column + 1, at.line) : left + 1;
    return QRect(left, render::rowTop(at.line, top), right - left, render::kRowHeight);
}

int HelpAccessibility::offsetAt(QPoint point)
{
    if (point.x() < 0 || point.y() < 0 || point.x() >= render::kPageSize || point.y() >= render::kPageSize)
        return -1;
    const int line = std::min(form_.helpRowAtY(point.y()), text_.lastLine());
    const int start = text_.lineStart(line);
    const int end = line < text_.lastLine() ? text_.lineStart(line + 1) - 1 : text_.length();
    return view::offsetAtX(*this, start, end, point.x());
}

QString HelpAccessibility::name() const
{
    return QStringLiteral("help");
}

} // namespace helpview
