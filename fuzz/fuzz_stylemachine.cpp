// Fuzz target for the style machine: random lines are measured at every column
// and drawn, in both display modes. The measuring walk never goes back, and it
// ends where the drawing walk ends, unless the line mixes \f and \i (the drawing
// walk then adds the styles, the measuring walk keeps the later one alone).

#include "base/checked.h"
#include "fuzzstyles.h"

#include <QImage>
#include <QPainter>

#include <algorithm>
#include <cstddef>
#include <cstdint>

using markup::DisplayMode;

namespace {

// A page row holds 120 cells; longer lines are tried too, but only up to this
// length must no range error come up.
constexpr qsizetype kLineCells = 120;
constexpr qsizetype kLongestInput = 160;
constexpr int kRowTop = 5;


bool mixesBoldAndItalic(const QByteArray &line)
{
    const QByteArray lower = line.toLower();
    return lower.contains("\\f") && lower.contains("\\i");
}

void walkBothVariants(const QByteArray &line, DisplayMode mode)
{
    render::StyleMachine &m = fuzz::styleMachine();
    int previous = m.columnX(1, line, mode);
    fuzz::require(previous == 5, "column 1 does not start at 5");
    for (int column = 2; column <= line.size() + 1; ++column) {
        const int x = m.columnX(column, line, mode);
        fuzz::require(x >= previous, "columnX went back along the line");
        previous = x;
    }
    static QImage row(800, 40, QImage::Format_RGB32);
    row.fill(Qt::white);
    QPainter p(&row);
    m.drawLine(p, line, kRowTop, mode);
    if (mode == DisplayMode::Source || !mixesBoldAndItalic(line))
        fuzz::require(m.lastDrawX() == previous, "columnX after the last cell differs from the drawn end");
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int *, char ***)
{
    fuzz::styleMachine();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArray line(reinterpret_cast<const char *>(data), qsizetype(std::min<size_t>(size, kLongestInput)));
    for (const DisplayMode mode : {DisplayMode::Rendered, DisplayMode::Source}) {
        try {
            walkBothVariants(line, mode);
        } catch (const base::HelpError &) {
            // x past the checked limits needs far more than a row of cells.
            fuzz::require(line.size() > kLineCells, "range error on a line that fits the page");
        }
    }
    return 0;
}
