#include "render/pagetext.h"

#include "base/checked.h"
#include "base/cp1252.h"

#include <algorithm>

namespace render {

TextChange textChange(const QString &before, const QString &after, int base)
{
    const qsizetype shorter = std::min(before.size(), after.size());
    qsizetype head = 0;
    while (head < shorter && before[head] == after[head])
        ++head;
    qsizetype tail = 0;
    while (tail < shorter - head && before[before.size() - 1 - tail] == after[after.size() - 1 - tail])
        ++tail;
    return {int(base + head), before.mid(head, before.size() - head - tail),
            after.mid(head, after.size() - head - tail)};
}

PageText::PageText(int firstLine, int lastLine, LineSource source)
    : first_(firstLine), last_(lastLine), source_(std::move(source))
{
}

QString PageText::exposeLine(const QByteArray &line, markup::DisplayMode mode, std::vector<uint8_t> *columns)
{
    QString text;
    text.reserve(line.size());
    markup::MarkupReader reader(mode, markup::NameRule::Page);
    for (qsizetype i = 0; i < line.size(); ++i) {
        const markup::Token t = reader.next(uint8_t(line[i]));
        if (t.kind != markup::TokenKind::Text)
            continue;
        text.append(base::cp1252ToUnicode(t.byte));
        if (columns)
            columns->push_back(uint8_t(i + 1));
    }
    return text;
}

void PageText::readLine(int line)
{
    Line &l = at(line);
    const QByteArray raw = source_(line);
    l.columns.clear();
    l.text = exposeLine(raw, mode_, &l.columns);
    l.rawLength = int(raw.size());
}

void PageText::readAll()
{
    if (read_)
        return;
    lines_.assign(size_t(last_ - first_ + 1), Line{});
    for (int line = first_; line <= last_; ++line)
        readLine(line);
    starts_.assign(lines_.size(), 0);
    for (size_t i = 1; i < lines_.size(); ++i)
        starts_[i] = starts_[i - 1] + int(lines_[i - 1].text.size()) + 1;
    text_ = joined(first_, last_);
    read_ = true;
}

QString PageText::joined(int first, int last) const
{
    QString s;
    for (int line = first; line <= last; ++line) {
        if (line > first)
            s.append(QLatin1Char('\n'));
        s.append(lines_[size_t(line - first_)].text);
    }
    return s;
}

TextChanges PageText::setMode(markup::DisplayMode mode)
{
    if (mode == mode_)
        return {};
    mode_ = mode;
    if (!read_)
        return {};
    return refresh(first_, last_);
}

QString PageText::joined(const std::vector<QString> &lines, size_t from, size_t to)
{
    QString s;
    for (size_t i = from; i < to; ++i) {
        if (i > from)
            s.append(QLatin1Char('\n'));
        s.append(lines[i]);
    }
    return s;
}

// before holds the old texts of the lines from first on, whose start was at
// base; the lines hold their new texts.
TextChanges PageText::lineChanges(const std::vector<QString> &before, int first, int base) const
{
    const size_t n = before.size();
    std::vector<QString> after(n);
    for (size_t i = 0; i < n; ++i)
        after[i] = lines_[size_t(first - first_) + i].text;
    size_t head = 0;
    while (head < n && before[head] == after[head])
        ++head;
    if (head == n)
        return {};
    size_t tail = 0;
    while (tail < n - head && before[n - 1 - tail] == after[n - 1 - tail])
        ++tail;
    const int at = base + int(joined(before, 0, head).size()) + (head > 0 ? 1 : 0);
    const int oldEnd = base + int(joined(before, 0, n).size());
    const auto same = [&](size_t b, size_t a, size_t count) {
        return std::equal(before.begin() + b, before.begin() + b + count, after.begin() + a);
    };
    // Lines that moved up: one went at head, an empty one came at the end.
    if (n - head - tail > 1 && same(head + 1, head, n - 1 - head)) {
        const int removed = int(before[head].size()) + 1;
        return {{at, before[head] + QLatin1Char('\n'), {}},
                {oldEnd - removed, {}, QLatin1Char('\n') + after[n - 1]}};
    }
    // Lines that moved down: one came at head, the last one went.
    if (n - head - tail > 1 && same(head, head + 1, n - 1 - head)) {
        const int lastStart = oldEnd - int(before[n - 1].size()) - 1;
        return {{lastStart, QLatin1Char('\n') + before[n - 1], {}},
                {at, {}, after[head] + QLatin1Char('\n')}};
    }
    return {textChange(joined(before, head, n - tail), joined(after, head, n - tail), at)};
}

TextChanges PageText::refresh(int first, int last)
{
    first = std::max(first, first_);
    last = std::min(last, last_);
    if (!read_ || first > last)
        return {};
    std::vector<QString> before;
    before.reserve(size_t(last - first + 1));
    for (int line = first; line <= last; ++line) {
        before.push_back(at(line).text);
        readLine(line);
    }
    const int base = starts_[size_t(first - first_)];
    TextChanges changes = lineChanges(before, first, base);
    if (changes.empty())
        return {};
    for (size_t i = size_t(first - first_) + 1; i < lines_.size(); ++i)
        starts_[i] = starts_[i - 1] + int(lines_[i - 1].text.size()) + 1;
    text_.replace(base, joined(before, 0, before.size()).size(), joined(first, last));
    return changes;
}

const QString &PageText::text()
{
    readAll();
    return text_;
}

int PageText::length()
{
    readAll();
    return int(text_.size());
}

int PageText::lineStart(int line)
{
    readAll();
    base::checkRange(line, first_, last_);
    return starts_[size_t(line - first_)];
}

int PageText::offsetOf(int line, int column)
{
    const int start = lineStart(line);
    const std::vector<uint8_t> &columns = at(line).columns;
    // The characters in columns before the caret's.
    const auto before = std::lower_bound(columns.begin(), columns.end(), column,
                                         [](uint8_t c, int col) { return int(c) < col; });
    return start + int(before - columns.begin());
}

TextPosition PageText::positionAt(int offset)
{
    readAll();
    offset = std::clamp(offset, 0, int(text_.size()));
    // The last line starting at or before offset.
    const auto next = std::upper_bound(starts_.begin(), starts_.end(), offset);
    const int line = first_ + int(next - starts_.begin()) - 1;
    const Line &l = at(line);
    const int index = offset - starts_[size_t(line - first_)];
    if (index < int(l.columns.size()))
        return {line, l.columns[size_t(index)]};
    return {line, l.rawLength + 1};
}

} // namespace render
