// Where the page puts each character. For a table of markup combinations on one
// line, the position, baseline, face and colour of every character, the link
// glyphs, the cell fills and the box frames are worked out here from the rules
// alone (the advance formula over the face's widths, the offset of each style);
// the rendered page must then show each character's ink exactly in its place,
// and no ink anywhere else.

#include "layoutlines.h"
#include "markuprules.h"
#include "view/pageview.h"

#include <QPainter>
#include <QTest>

#include <cstring>
#include <map>
#include <optional>

namespace {

constexpr int kLine = 3;                       // the table's line is drawn on the page's third row
constexpr int kRowTop = 5 + (kLine - 1) * 25;
constexpr QRgb kPage = 0xFFFFFFF0, kGrey = 0xFFD8D8D8, kFrame = 0xFF707070;
constexpr QRgb kBlack = 0xFF000000, kBlueText = 0xFF0000FF, kHeader = 0xFFA00000;

// Where one character's (or link glyph's) ink must be, and in which colour.
struct Ink {
    QRect box;
    QRgb color;
    QString what;
};

// Returns the ink box of a byte drawn in a face, relative to its origin on the baseline.
QRect inkOf(const rules::FaceKey &key, uint8_t ch)
{
    static std::map<std::pair<rules::FaceKey, uint8_t>, QRect> boxes;
    const auto found = boxes.find({key, ch});
    if (found != boxes.end())
        return found->second;
    QImage scratch(120, 120, QImage::Format_RGB32);
    scratch.fill(Qt::white);
    {
        QPainter p(&scratch);
        p.setFont(rules::face(key).font);
        p.setPen(Qt::black);
        p.drawText(QPoint(40, 60), QString(base::cp1252ToUnicode(ch)));
    }
    QRect box;
    for (int y = 0; y < scratch.height(); ++y)
        for (int x = 0; x < scratch.width(); ++x)
            if (scratch.pixel(x, y) != QColor(Qt::white).rgb())
                box |= QRect(x, y, 1, 1);
    return boxes[{key, ch}] = box.translated(-40, -60);
}

// The drawing rules walked over one line: the ink of every character and glyph,
// and the page as it must look without that ink (fills and box frames).
class Expectation {
public:
    QList<Ink> inks;
    QImage background{800, 800, QImage::Format_RGB32};

    Expectation(const QByteArray &text, bool source)
    {
        background.fill(kPage);
        enum { Plain, Escape, Name, Raw } state = source ? Raw : Plain;
        for (char c : text) {
            const uint8_t ch = uint8_t(c);
            if (state == Raw || (state == Plain && ch != '\\')) {
                drawChar(ch, state == Plain);
            } else if (state == Plain || (state == Name && ch == '\\')) {
                state = Escape;
            } else if (state == Name) {
                state = (ch == ' ' || ch == ';') ? Plain : Name;
            } else {
                state = code(rules::upperAscii(ch)) ? Name : Plain;
            }
        }
    }

private:
    rules::FaceKey face_;
    QRgb color_ = kBlack;
    std::optional<QRgb> fill_;
    int x_ = 5, yOffset_ = 5;
    bool boxOpen_ = false;
    int boxStart_ = 5;

    void frame(int left, int top, int right, int bottom) // right and bottom excluded
    {
        QPainter(&background).fillRect(QRect(QPoint(left, top), QPoint(right - 1, bottom - 1)), QColor(kFrame));
    }

    void edges(int to)
    {
        frame(boxStart_, kRowTop + 1, to, kRowTop + 3);
        frame(boxStart_, kRowTop + 23, to, kRowTop + 25);
        boxStart_ = to;
    }

    void drawChar(uint8_t ch, bool plain)
    {
        const rules::Face &f = rules::face(face_);
        const int top = kRowTop + yOffset_;
        if (fill_)
            QPainter(&background).fillRect(x_, top, f.widths[ch], f.cellHeight, QColor(*fill_));
        const QRect ink = inkOf(face_, ch).translated(x_, top + f.ascent);
        if (!ink.isEmpty())
            inks.append({ink, color_, QStringLiteral("'%1' at x %2").arg(QChar(ch)).arg(x_)});
        x_ += rules::advance(face_, ch);
        if (plain && boxOpen_)
            edges(x_);
    }

    // Applies an escape code; returns whether a link name follows.
    bool code(uint8_t c)
    {
        switch (c) {
        case 'N': face_ = {}; color_ = kBlack; fill_ = kPage; yOffset_ = 5; boxOpen_ = false; break;
        case 'C': face_.courier = true; break;
        case 'F': face_.bold = true; break;
        case 'I': face_.italic = true; color_ = kBlueText; break;
        case 'L': face_.height = 25; yOffset_ = 0; break;
        case 'H': face_.height = 25; yOffset_ = 0; color_ = kHeader; break;
        case 'P': face_.height = 15; yOffset_ = 0; break;
        case 'S': face_.height = 15; yOffset_ = 12; break;
        case 'M': fill_ = kGrey; break;
        case 'T': x_ = (x_ / 100 + 1) * 100; break;
        case '[': toggleBox(); break;
        case '@': // the arrow covers columns 2 to 17 and rows 5 to 20 of the glyph
            inks.append({QRect(x_ + 2, kRowTop + 5, 16, 16), kBlueText, QStringLiteral("pointer at x %1").arg(x_)});
            x_ += rules::kGlyphWidth;
            return true;
        case '#': // the disc covers columns 5 to 14 and rows 8 to 17
            inks.append({QRect(x_ + 5, kRowTop + 8, 10, 10), kBlueText, QStringLiteral("marker at x %1").arg(x_)});
            x_ += rules::kGlyphWidth;
            return true;
        default: break;
        }
        return false;
    }

    void toggleBox()
    {
        x_ += 5;
        if (!boxOpen_) {
            frame(x_, kRowTop + 3, x_ + 2, kRowTop + 25);
            boxStart_ = x_;
        } else {
            edges(x_);
            frame(x_, kRowTop + 1, x_ + 2, kRowTop + 25);
        }
        boxOpen_ = !boxOpen_;
        x_ += 5;
    }
};

// Renders text as line 3 of an otherwise empty page.
QImage renderedPage(const QByteArray &text, bool source)
{
    doc::TextGrid grid;
    grid.setLine(text, kLine);
    doc::EditorState state;
    state.sourceMode = source ? markup::DisplayMode::Source : markup::DisplayMode::Rendered;
    view::PageView view(grid, state);
    view.createPageBitmap();
    view.repaintPage();
    return view.pageBitmap();
}

int distance(QRgb a, QRgb b)
{
    return std::max({std::abs(qRed(a) - qRed(b)), std::abs(qGreen(a) - qGreen(b)), std::abs(qBlue(a) - qBlue(b))});
}

// Returns what is wrong with the rendered page against the expectation, or nothing.
QString mismatch(const QImage &page, const Expectation &e)
{
    // Every pixel that is not the expected background is ink, and ink lies only in the boxes.
    QList<QRect> found(e.inks.size());
    QList<QRgb> strongest(e.inks.size(), 0);
    QList<int> strength(e.inks.size(), -1);
    for (int y = 0; y < page.height(); ++y) {
        if (std::memcmp(page.constScanLine(y), e.background.constScanLine(y), size_t(page.bytesPerLine())) == 0)
            continue;
        for (int x = 0; x < page.width(); ++x) {
            const QRgb px = page.pixel(x, y), bg = e.background.pixel(x, y);
            if (px == bg)
                continue;
            bool inside = false;
            for (int i = 0; i < e.inks.size(); ++i) {
                if (!e.inks[i].box.contains(x, y))
                    continue;
                inside = true;
                found[i] |= QRect(x, y, 1, 1);
                if (distance(px, bg) > strength[i]) {
                    strength[i] = distance(px, bg);
                    strongest[i] = px;
                }
            }
            if (!inside)
                return QStringLiteral("pixel %1,%2 is %3, not the background %4")
                    .arg(x).arg(y).arg(px & 0xFFFFFF, 6, 16).arg(bg & 0xFFFFFF, 6, 16);
        }
    }
    // Each box is filled to all four of its edges, in its colour where it is strongest.
    for (int i = 0; i < e.inks.size(); ++i) {
        if (found[i] != e.inks[i].box)
            return QStringLiteral("%1: ink over %2,%3 %4x%5, expected %6,%7 %8x%9").arg(e.inks[i].what)
                .arg(found[i].x()).arg(found[i].y()).arg(found[i].width()).arg(found[i].height())
                .arg(e.inks[i].box.x()).arg(e.inks[i].box.y()).arg(e.inks[i].box.width()).arg(e.inks[i].box.height());
        if (distance(strongest[i], e.inks[i].color) > 100)
            return QStringLiteral("%1: colour %2, expected %3").arg(e.inks[i].what)
                .arg(strongest[i] & 0xFFFFFF, 6, 16).arg(e.inks[i].color & 0xFFFFFF, 6, 16);
    }
    return {};
}

} // namespace

class TestLayout : public QObject {
    Q_OBJECT

private slots:
    void inkStandsWhereTheRulesPutIt_data()
    {
        QTest::addColumn<QByteArray>("line");
        QTest::addColumn<bool>("source");
        for (const LayoutLine &l : layoutLines())
            QTest::addRow("%s%s", l.text.constData(), l.source ? " (source)" : "") << l.text << l.source;
    }
    void inkStandsWhereTheRulesPutIt()
    {
        QFETCH(QByteArray, line);
        QFETCH(bool, source);
        const Expectation expected(line, source);
        QVERIFY(!expected.inks.isEmpty());
        const QString v = mismatch(renderedPage(line, source), expected);
        QVERIFY2(v.isEmpty(), qPrintable(v));
    }
};

QTEST_MAIN(TestLayout)
#include "test_layout.moc"
