#include "links/linktable.h"

#include "base/checked.h"
#include "markup/markup.h"

namespace links {

void LinkTable::clearLinkTable()
{
    entries_.fill(Link{});
    linkCount_ = 0;
}

std::pair<bool, int> LinkTable::findLink(const QByteArray &name) const
{
    // All 50 slots, not just the counted ones: the scan looks names up before
    // the count is stored.
    for (int i = 0; i < kMaxLinks; ++i) {
        if (entries_[i].name == name)
            return {true, i + 1};
    }
    return {false, 0};
}

const Link &LinkTable::entry(int i) const
{
    base::checkRange(i, 1, kMaxLinks);
    return entries_[i - 1];
}

void LinkTable::registerName(bool pointer, const QByteArray &name, int start, int column, int line,
                             const ScanSource &src, int &count)
{
    ScanEvent event{pointer, name, line, column, start, takeName(pointer, name, column, line, src, count)};
    if (src.observe)
        src.observe(event);
}

ScanOutcome LinkTable::takeName(bool pointer, const QByteArray &name, int column, int line,
                                const ScanSource &src, int &count)
{
    // Once the table is full, markers are ignored too, even those of links
    // already taken.
    if (count >= kMaxLinks)
        return ScanOutcome::TableFull;
    if (name.isEmpty())
        return ScanOutcome::EmptyName;
    // columnX at the ";" is the right edge of the glyph, since the name's own
    // characters take no room on the page.
    if (pointer) {
        Link &e = entries_[count];
        ++count;
        e.name = name;
        e.pointerLine = base::toInt16(line);
        e.pointerX = base::toInt16(src.columnX(column, line) - src.pointerWidth);
        return ScanOutcome::Taken;
    }
    // Markers always go to the first entry of their name; a later marker of
    // the same name overwrites the earlier one.
    const auto [found, index] = findLink(name);
    if (!found)
        return ScanOutcome::NoPointer;
    Link &e = entries_[index - 1];
    e.markerLine = base::toInt16(line);
    e.markerX = base::toInt16(src.columnX(column, line) - src.markerWidth);
    return ScanOutcome::Taken;
}

int LinkTable::scan(const ScanSource &src)
{
    using markup::TokenKind;
    int count = 0;
    for (int line = src.firstLine; line <= src.lastLine; ++line) {
        const QByteArray text = src.lineText(line);
        // Every line starts outside a name; a name still open at its end is dropped.
        markup::MarkupReader reader(markup::DisplayMode::Rendered, markup::NameRule::LinkScan);
        bool pointer = false;
        int start = 0;
        QByteArray name;
        for (int c = 1; c <= text.size(); ++c) {
            const markup::Token t = reader.next(uint8_t(text[c - 1]));
            if (t.kind == TokenKind::Code && (t.byte == '@' || t.byte == '#')) {
                pointer = t.byte == '@';
                start = c - 1;
                name.clear();
            } else if (t.kind == TokenKind::NameByte) {
                name.append(char(t.byte));
            } else if (t.kind == TokenKind::NameEnd) {
                registerName(pointer, name, start, c, line, src, count);
            }
        }
    }
    return count;
}

LinkFault linkFault(const Link &link)
{
    if (link.markerLine == link.pointerLine)
        return LinkFault::ToItself;
    return link.markerLine == 0 ? LinkFault::ToNothing : LinkFault::None;
}

QString LinkTable::check(int count)
{
    base::checkRange(count, 0, kMaxLinks);
    QString msg = count > 0 ? QStringLiteral("links found = %1").arg(count)
                            : QStringLiteral("no links found");
    linkCount_ = count;
    for (int i = 0; i < linkCount_; ++i) {
        const Link &e = entries_[i];
        const LinkFault fault = linkFault(e);
        if (fault == LinkFault::ToItself) {
            msg = QStringLiteral("line %1 points to itself").arg(e.pointerLine);
            break;
        }
        if (fault == LinkFault::ToNothing) {
            msg = QStringLiteral("line %1 points to nothing").arg(e.pointerLine);
            break;
        }
    }
    // A duplicate outranks any entry message: the second pointer of a name can
    // never get a marker, so its "points to nothing" would mislead.
    for (int i = 0; i < linkCount_ - 1; ++i) {
        for (int j = i + 1; j < linkCount_; ++j) {
            if (entries_[i].name == entries_[j].name)
                return QStringLiteral("duplicate link names");
        }
    }
    return msg;
}

QString LinkTable::buildLinkTable(const ScanSource &src)
{
    return check(scan(src));
}

int LinkTable::hoverValue(int line, int x, int pointerWidth, int markerWidth) const
{
    // A pointer without a marker yields 0 and lets the search go on, so a
    // later entry's glyph at the same spot can still answer. An empty slot
    // (lines 0, x 0) only meets line 0 of the help viewer: there the pointer
    // test takes every x the equally wide marker test would, and yields 0.
    int value = 0;
    for (int i = 0; i < kMaxLinks && value == 0; ++i) {
        const Link &e = entries_[i];
        if (line == e.pointerLine && e.pointerX < x && x < e.pointerX + pointerWidth)
            value = e.markerLine;
        else if (line == e.markerLine && e.markerX < x && x < e.markerX + markerWidth)
            value = 1;
    }
    return value;
}

} // namespace links
