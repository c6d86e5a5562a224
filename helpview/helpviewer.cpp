#include "helpview/helpviewer.h"

#include "base/checked.h"
#include "base/errorreport.h"
#include "helpview/helptext.h"
#include "render/colors.h"
#include "render/pagegeometry.h"
#include "view/pageview.h"
#include "view/windowscale.h"

#include <QAccessible>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QWheelEvent>

namespace helpview {

namespace {
constexpr int kClientWidth = 854;
constexpr int kClientHeight = 822;
constexpr int kSurfaceLeft = 8, kSurfaceTop = 8;
constexpr QRect kSurfaceRect(kSurfaceLeft, kSurfaceTop, render::kPageSize, render::kPageSize);
constexpr QRect kBarRect(816, 8, 17, 801);
constexpr int kEscape = 27;
constexpr uint32_t kFrameDark = 0x808000;
constexpr uint32_t kFrameLight = 0xA0A000;
} // namespace

HelpViewer::HelpViewer(QWidget *parent)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint
                  | Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint),
      // Each row clears its own band before its line is drawn.
      page_(render::fixedLines([](int index) { return helpText().value(index); }), render::RowClearing::EachRow)
{
    setObjectName(QStringLiteral("helpform"));
    setWindowTitle(QStringLiteral("help"));
    setModal(true);
    setFixedSize(kClientWidth, kClientHeight);
    buildControls();
    page_.createSurface(surfaceRatio());
    drawHelpPage();
    surface_->setTextAccess(&accessibility_);
}

HelpViewer::~HelpViewer()
{
    surface_->setTextAccess(nullptr);
}

void HelpViewer::setWindowScale(double scale)
{
    if (scale == scale_)
        return;
    scale_ = scale;
    setFixedSize(view::toWindow(kClientWidth, scale), view::toWindow(kClientHeight, scale));
    surface_->setGeometry(view::toWindow(kSurfaceRect, scale));
    surface_->setScale(scale);
    bar_->setGeometry(view::toWindow(kBarRect, scale));
    page_.createSurface(surfaceRatio());
    drawHelpPage();
    update();
}

double HelpViewer::surfaceRatio() const
{
    return surface_->devicePixelRatioF() * scale_;
}

void HelpViewer::buildControls()
{
    surface_ = new view::PaintSurface(
        QStringLiteral("helpPage"), this, [this](QPainter &p, const QRect &dirty) { paintPage(p, dirty); },
        [this](int x, int y) { pageMouseMove(x, y); },
        [this](int x, int y) { pageMouseDown(x, y); });
    surface_->setGeometry(kSurfaceRect);

    bar_ = new QScrollBar(Qt::Vertical, this);
    bar_->setObjectName(QStringLiteral("helpBar"));
    bar_->setGeometry(kBarRect);
    bar_->setFocusPolicy(Qt::NoFocus);
    bar_->setSingleStep(1);
    bar_->setPageStep(10);

    connect(bar_, &QScrollBar::valueChanged, this, [this] { base::guarded([this] { barMoved(); }); });
    for (QWidget *w : findChildren<QWidget *>())
        w->installEventFilter(this);
}

// ---- operations -------------------------------------------------------------

void HelpViewer::showHelp(QWidget *mainWindow)
{
    if (!helpLinksBuilt_)
        buildHelpLinks();
    const int lines = int(helpText().size());
    bar_->setMaximum(lines > doc::kRows - 1 ? lines - doc::kRows : 0);
    // move() places a window by its outer frame, as the main window's frame corner is given.
    move(mainWindow->frameGeometry().topLeft() + QPoint(10, 10));
    bar_->setValue(0);
    helpTopIndex_ = 0;
    exec();
}

void HelpViewer::buildHelpLinks()
{
    const QList<QByteArray> &text = helpText();
    links::ScanSource src;
    src.firstLine = 0;
    src.lastLine = int(text.size()) - 1;
    src.lineText = [&text](int line) { return text.at(line); };
    src.columnX = [this](int column, int line) { return measureHelpPrefix(column, line); };
    src.pointerWidth = page_.pointerGlyph().width();
    src.markerWidth = page_.markerGlyph().width();
    // The viewer only needs the positions: no check, no message, no count kept.
    helpLinkTable_.scan(src);
    helpLinksBuilt_ = true;
}

int HelpViewer::measureHelpPrefix(int column, int index)
{
    return base::toInt16(page_.columnX(column, base::toUInt16(index), markup::DisplayMode::Rendered));
}

void HelpViewer::drawHelpPage()
{
    page_.renderPage(helpTopIndex_, markup::DisplayMode::Rendered);
}

int HelpViewer::helpRowAtY(int y) const
{
    return render::lineAtY(y, helpTopIndex_);
}

// ---- handlers ---------------------------------------------------------------

void HelpViewer::paintPage(QPainter &p, const QRect &dirty)
{
    // The surface image already holds the strips and the rows of the current
    // position: a paint only copies it, as uncovering the window changes
    // nothing, unless the window now lies on a screen of another pixel ratio.
    const double ratio = surfaceRatio();
    if (ratio != page_.deviceRatio()) {
        page_.createSurface(ratio);
        drawHelpPage();
    }
    render::paintDevicePixels(p, page_.image(), ratio, dirty);
}

void HelpViewer::barMoved()
{
    helpTopIndex_ = base::toUInt16(bar_->value());
    drawHelpPage();
    surface_->update();
    if (QAccessible::isActive())
        accessibility_.announceCaret();
}

void HelpViewer::wheelTurned(int delta, QPoint globalPos)
{
    // The rectangle starts at the outer frame corner, not the client area's.
    // On a scaled window the mouse is taken back to where it would be at scale 1.
    const QPoint corner = frameGeometry().topLeft();
    const QPoint mouse = corner + view::toLogicalOffset(globalPos - corner, scale_);
    if (!view::insideWheelRect(mouse, corner + kSurfaceRect.topLeft(), kSurfaceRect.width()))
        return;
    const int position = bar_->value();
    if (delta < 0 && position < bar_->maximum())
        bar_->setValue(position + 1);
    else if (delta > 0 && position > 0)
        bar_->setValue(position - 1);
}

void HelpViewer::pageMouseMove(int x, int y)
{
    const int target = helpLinkTable_.hoverValue(helpRowAtY(y), x, page_.pointerGlyph().width(),
                                                 page_.markerGlyph().width());
    if (target == helpHoverTarget_)
        return;
    surface_->setCursor(target != 0 ? Qt::PointingHandCursor : Qt::ArrowCursor);
    helpHoverTarget_ = base::toInt16(target);
}

void HelpViewer::pageMouseDown(int, int)
{
    if (helpHoverTarget_ <= 0)
        return;
    // The bar clamps the target to its range and redraws through barMoved.
    bar_->setValue(helpHoverTarget_);
    helpHoverTarget_ = 0;
    surface_->setCursor(Qt::ArrowCursor);
}

void HelpViewer::handleKeyPress(int key)
{
    if (key == kEscape)
        done(1);
}

void HelpViewer::paintFrame(QPainter &p)
{
    if (scale_ == 1.0)
        view::paintPageFrame(p, surface_->geometry(), kFrameDark, kFrameLight);
    else
        view::paintScaledPageFrame(p, kSurfaceRect, scale_, kFrameDark, kFrameLight);
}

// ---- events -----------------------------------------------------------------

void HelpViewer::paintEvent(QPaintEvent *)
{
    base::guarded([this] {
        QPainter p(this);
        paintFrame(p);
    });
}

void HelpViewer::keyPressEvent(QKeyEvent *e)
{
    // Replaces QDialog's own Esc handling, which would close with result 0.
    const QString text = e->text();
    const int key = e->key() == Qt::Key_Escape ? kEscape : (text.isEmpty() ? 0 : text.at(0).unicode());
    base::guarded([&] { handleKeyPress(key); });
}

void HelpViewer::wheelEvent(QWheelEvent *e)
{
    const int delta = e->angleDelta().y();
    const QPoint global = e->globalPosition().toPoint();
    base::guarded([&] { wheelTurned(delta, global); });
}

bool HelpViewer::eventFilter(QObject *watched, QEvent *e)
{
    // The window sees every key and every wheel turn first, whichever control is under the mouse.
    return view::routeToWindow(this, watched, e) || QDialog::eventFilter(watched, e);
}

} // namespace helpview
