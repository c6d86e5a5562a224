// The main window. Sections, in order:
// - the SOURCE CODE box and the page scroll bar (CodeBox, PageBar);
// - the window: construction, the controls, the dialogs, set-up and tear-down;
// - events: paint, keys, input methods, close, focus, wheel, the event filter;
// - control handlers: the page, the SOURCE CODE box, the bar, the buttons, open,
//   recovery, save, CLEAR, LINK and HELP;
// - what the commands changed: the editor's notifications shown on the page,
//   the scroll bar and the link table.

#include "app/mainwindow.h"

#include "app/ending.h"
#include "app/accessibility.h"
#include "app/keymap.h"
#include "base/checked.h"
#include "base/errorreport.h"
#include "fileio/helpfile.h"
#include "helpview/helpviewer.h"
#include "render/colors.h"
#include "render/fontbook.h"
#include "render/pagegeometry.h"
#include "view/windowscale.h"

#include <QAccessible>
#include <QApplication>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QInputMethod>
#include <QMessageBox>
#include <QMouseEvent>
#include <QPainter>
#include <QScreen>
#include <QSignalBlocker>
#include <QStyleOptionSlider>
#include <QWheelEvent>

#include <cstdio>

namespace app {

namespace {
const QString &kArial = render::kArialFamily;
// The page's place in the window.
constexpr QRect kHelpboxRect(8, 48, render::kPageSize, render::kPageSize);
constexpr QRect kCodeboxRect(600, 8, 193, 33);
// Rows above and below the slider that a style may paint its edge or shadow on.
constexpr int kSliderMargin = 2;

// The error box of a failed open or save: which file, why, and what was kept.
base::FileError fileFailure(const QString &path, const base::FileError &cause, const char *kept)
{
    return base::FileError(QStringLiteral("%1: %2. %3").arg(path, QString::fromUtf8(cause.what()),
                                                             QString::fromLatin1(kept)).toStdString());
}
} // namespace

CodeBox::CodeBox(MainWindow &form, QWidget *parent) : QWidget(parent), form_(form)
{
    setObjectName(QStringLiteral("codebox"));
    setFocusPolicy(Qt::NoFocus);
    setCursor(Qt::PointingHandCursor);
}

void CodeBox::paintEvent(QPaintEvent *)
{
    form_.handle([&] {
        QPainter p(this);
        form_.paintSourceBox(p);
    });
}

void CodeBox::mousePressEvent(QMouseEvent *e)
{
    if (e->button() == Qt::LeftButton)
        form_.handle([&] { form_.sourceBoxClicked(); });
}

PageBar::PageBar(QWidget *parent) : QScrollBar(Qt::Vertical, parent) {}

QRect PageBar::part(QStyle::SubControl control) const
{
    QStyleOptionSlider opt;
    initStyleOption(&opt);
    return style()->subControlRect(QStyle::CC_ScrollBar, &opt, control, this);
}

bool PageBar::atEnd() const
{
    return value() == minimum() || value() == maximum();
}

void PageBar::sliderChange(SliderChange change)
{
    if (change != SliderValueChange || !paintedSlider_.isValid()) {
        QScrollBar::sliderChange(change);
        return;
    }
    const QRect now = part(QStyle::SC_ScrollBarSlider);
    // A step too small to move the slider by a pixel changes nothing on the bar.
    if (now == paintedSlider_ && !atEnd() && !paintedAtEnd_)
        return;
    const int top = std::min(now.top(), paintedSlider_.top()) - kSliderMargin;
    const int bottom = std::max(now.bottom(), paintedSlider_.bottom()) + kSliderMargin;
    QRegion dirty(0, top, width(), bottom - top + 1);
    // At either end the arrow buttons may change their look as well.
    if (atEnd() || paintedAtEnd_)
        dirty += QRegion(part(QStyle::SC_ScrollBarSubLine)) + QRegion(part(QStyle::SC_ScrollBarAddLine));
    update(dirty);
}

void PageBar::paintEvent(QPaintEvent *e)
{
    QScrollBar::paintEvent(e);
    paintedSlider_ = part(QStyle::SC_ScrollBarSlider);
    paintedAtEnd_ = atEnd();
}

MainWindow::MainWindow(QWidget *parent)
    : QWidget(parent, Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint
                  | Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint
                  | Qt::WindowCloseButtonHint),
      editor_(grid_, *this),
      page_(grid_, editor_.state())
{
    setObjectName(QStringLiteral("form1"));
    setWindowTitle(QStringLiteral("help file editor V6"));
    setFixedSize(kClientWidth, kClientHeight);
    setFocusPolicy(Qt::StrongFocus);
    // Dead keys, compose sequences and input methods deliver what they compose
    // as a commit string, and only to a widget that takes input methods.
    setAttribute(Qt::WA_InputMethodEnabled);
    installCodeBoxAccessibleFactory();
    buildControls();
    accessibility_ = std::make_unique<EditorAccessibility>(*this);
    helpbox_->setTextAccess(accessibility_.get());
    page_.setScreen([this](const QRect &r) { helpbox_->updateLogical(r); });
    handle([this] { setUpWindow(); });
    if (const QScreen *screen = QGuiApplication::primaryScreen()) {
        const QRect avail = screen->availableGeometry();
        move(avail.center() - QPoint(kClientWidth / 2, kClientHeight / 2));
    }
}

MainWindow::~MainWindow()
{
    tearDownWindow();
}

bool MainWindow::handle(const std::function<void()> &body)
{
    const bool done = base::guarded(body);
    // A listening screen reader hears what the handler changed, even one cut
    // short by an error; without one this costs one call.
    if (accessibility_ && QAccessible::isActive())
        base::guarded([this] { accessibility_->announceChanges(); });
    return done;
}

void MainWindow::showMessage(const QString &text)
{
    const bool same = msgtext_->text() == text;
    msgtext_->setText(text);
    if (accessibility_ && QAccessible::isActive())
        accessibility_->announceMessage(msgtext_, same);
}

QPushButton *MainWindow::makeButton(const QString &name, const QString &caption, QRect geometry,
                                int charHeight, uint32_t color)
{
    auto *b = new QPushButton(caption, this);
    b->setObjectName(name);
    b->setFlat(true);
    b->setFocusPolicy(Qt::NoFocus);
    b->setFont(render::captionFont(kArial, charHeight, true));
    place(b, geometry);
    QPalette pal = b->palette();
    pal.setColor(QPalette::ButtonText, render::bgr(color));
    b->setPalette(pal);
    return b;
}

QLabel *MainWindow::makeLabel(const QString &name, QRect geometry, Qt::Alignment align)
{
    auto *l = new QLabel(this);
    l->setObjectName(name);
    l->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    l->setAlignment(align | Qt::AlignVCenter);
    l->setFont(render::captionFont(kArial, 16, false));
    l->setFocusPolicy(Qt::NoFocus);
    place(l, geometry);
    return l;
}

void MainWindow::place(QWidget *w, QRect geometry)
{
    w->setGeometry(view::toWindow(geometry, scale_));
    placements_.push_back({w, geometry, w->font()});
}

void MainWindow::buildControls()
{
    // Creation order of the controls, as the window lays them out.
    helpbox_ = new view::PaintSurface(
        QStringLiteral("helpbox"), this,
        [this](QPainter &p, const QRect &dirty) { paintPage(p, dirty); },
        [this](int x, int y) { handle([&] { pageMouseMove(x, y); }); },
        [this](int x, int y) { handle([&] { pageMouseDown(x, y); }); });
    place(helpbox_, kHelpboxRect);
    topButton_ = makeButton(QStringLiteral("topBtn"), QStringLiteral("P1"), {808, 8, 33, 33}, 20, 0xFF0000);
    topButton_->setAccessibleName(QStringLiteral("go to top"));
    openBtn_ = makeButton(QStringLiteral("openBtn"), QStringLiteral("OPEN"), {8, 8, 73, 33}, 16, 0xFF0000);
    saveBtn_ = makeButton(QStringLiteral("saveBtn"), QStringLiteral("SAVE"), {96, 8, 73, 33}, 16, 0x008000);
    clearBtn_ = makeButton(QStringLiteral("clearBtn"), QStringLiteral("CLEAR"), {272, 8, 73, 33}, 16, 0x0000FF);
    clearBtn_->setToolTip(QStringLiteral("clear all text"));
    linkBtn_ = makeButton(QStringLiteral("linkBtn"), QStringLiteral("LINK"), {184, 8, 73, 33}, 16, 0xFF00FF);
    linkBtn_->setToolTip(QStringLiteral("make link table"));
    codebox_ = new CodeBox(*this, this);
    place(codebox_, kCodeboxRect);
    helpBtn_ = makeButton(QStringLiteral("helpBtn"), QStringLiteral("HELP"), {440, 8, 65, 33}, 16, 0xFFFF00);
    buildBarAndLabels();
    connectControls();
    for (QWidget *w : findChildren<QWidget *>())
        w->installEventFilter(this);
}

void MainWindow::buildBarAndLabels()
{
    pageBar_ = new PageBar(this);
    pageBar_->setObjectName(QStringLiteral("pageBar"));
    place(pageBar_, QRect(816, 48, 17, 801));
    pageBar_->setCursor(Qt::PointingHandCursor);
    pageBar_->setFocusPolicy(Qt::NoFocus);
    pageBar_->setSingleStep(1);
    pageBar_->setPageStep(10);
    pageBar_->setMaximum(doc::kBarMaximum);
    pageBar_->installEventFilter(this);

    msgtext_ = makeLabel(QStringLiteral("msgtext"), {8, 864, 801, 25}, Qt::AlignLeft);
    linetext_ = makeLabel(QStringLiteral("linetext"), {536, 12, 54, 23}, Qt::AlignRight);
    // The labels' names are their texts; these say what the texts are.
    msgtext_->setAccessibleDescription(QStringLiteral("message line"));
    linetext_->setAccessibleDescription(QStringLiteral("line under the mouse"));
    QPalette pal = msgtext_->palette();
    pal.setColor(QPalette::WindowText, Qt::black);
    msgtext_->setPalette(pal);
}

void MainWindow::connectControls()
{
    connect(pageBar_, &QScrollBar::valueChanged, this, [this] { handle([this] { barMoved(); }); });
    connect(topButton_, &QPushButton::clicked, this, [this] { handle([this] { goToTopClicked(); }); });
    connect(openBtn_, &QPushButton::clicked, this, [this] { handle([this] { openClicked(); }); });
    connect(saveBtn_, &QPushButton::clicked, this, [this] { handle([this] { saveClicked(); }); });
    connect(clearBtn_, &QPushButton::clicked, this, [this] { handle([this] { clearClicked(); }); });
    connect(linkBtn_, &QPushButton::clicked, this, [this] { handle([this] { linkClicked(); }); });
    connect(helpBtn_, &QPushButton::clicked, this, [this] { handle([this] { helpClicked(); }); });
}

// The help viewer is made when first needed: nothing of it shows before, and
// the editor starts faster without it.
helpview::HelpViewer *MainWindow::helpform()
{
    if (!helpform_) {
        helpform_ = new helpview::HelpViewer(this);
        helpform_->setWindowScale(scale_);
    }
    return helpform_;
}

std::unique_ptr<QFileDialog> MainWindow::makeDialog(const QString &name, QFileDialog::AcceptMode mode)
{
    // No filter, no default extension, no title of its own. The open dialog
    // takes a name that does not exist: the open then fails and says why.
    auto d = std::make_unique<QFileDialog>(this);
    d->setObjectName(name);
    d->setOption(QFileDialog::DontUseNativeDialog);
    d->setAcceptMode(mode);
    d->setFileMode(QFileDialog::AnyFile);
    return d;
}

QString MainWindow::runDialog(const QString &name, QFileDialog::AcceptMode mode, QString &lastName)
{
    // A dialog lives for one use only. One that is kept and shown again can
    // leave its file-name completion list mapped after Enter, and that list
    // then swallows the next click anywhere in the editor. The name last
    // chosen is kept here instead, so each dialog still starts with it.
    const std::unique_ptr<QFileDialog> dialog = makeDialog(name, mode);
    if (!lastName.isEmpty())
        dialog->selectFile(lastName);
    if (dialog->exec() != QDialog::Accepted || dialog->selectedFiles().isEmpty())
        return {};
    lastName = dialog->selectedFiles().constFirst();
    return lastName;
}

void MainWindow::setUpWindow()
{
    page_.createPageBitmap(pageRatio());
    editor_.resetEditor();
}

void MainWindow::tearDownWindow()
{
    // The page bitmap and the glyphs are owned by the page view and go with it.
    page_.setScreen(nullptr);
    helpbox_->setTextAccess(nullptr);
}

// ---- events ---------------------------------------------------------------

void MainWindow::paintEvent(QPaintEvent *)
{
    handle([this] {
        QPainter p(this);
        if (scale_ == 1.0)
            view::paintPageFrame(p, helpbox_->geometry());
        else
            view::paintScaledPageFrame(p, kHelpboxRect, scale_, 0x000000, 0xA0A0A0);
    });
}

void MainWindow::keyPressEvent(QKeyEvent *e)
{
    // The buttons' keys do what their buttons do and type nothing.
    if (const ButtonKey key = buttonKey(e->key(), e->modifiers()); key != ButtonKey::None) {
        handle([&] { pressButtonKey(key); });
        return;
    }
    handle([&] { handleKeyDown(e); });
    handle([&] { handleKeyPress(keyPressChars(*e)); });
}

void MainWindow::inputMethodEvent(QInputMethodEvent *e)
{
    // A pre-edit string is not shown: the page holds document text only. What
    // is committed is typed as if each character had its own key.
    handle([&] { handleKeyPress(textChars(e->commitString())); });
    e->accept();
}

QVariant MainWindow::inputMethodQuery(Qt::InputMethodQuery query) const
{
    switch (query) {
    case Qt::ImEnabled:
        return true;
    case Qt::ImCursorRectangle:
        // A candidate window opens next to the caret.
        return view::toWindow(page_.caretRect(), scale_).translated(helpbox_->pos());
    case Qt::ImHints:
        return int(Qt::ImhNoPredictiveText | Qt::ImhNoAutoUppercase);
    default:
        return QWidget::inputMethodQuery(query);
    }
}

void MainWindow::closeEvent(QCloseEvent *e)
{
    // Closing asks nothing: unsaved text goes to a recovery copy instead, and
    // standard error names it, or what was lost when it cannot be written.
    if (recovery_) {
        const QString notice = exitNotice(recovery_->keepForExit());
        if (!notice.isEmpty())
            std::fprintf(stderr, "%s\n", qPrintable(notice));
    }
    QWidget::closeEvent(e);
}

void MainWindow::focusInEvent(QFocusEvent *e)
{
    QWidget::focusInEvent(e);
    if (accessibility_ && QAccessible::isActive())
        accessibility_->announceFocus();
}

void MainWindow::handleKeyDown(QKeyEvent *e)
{
    editor_.handleKeyDown(virtualKey(e->key()), modifiersOf(e->modifiers()));
}

void MainWindow::handleKeyPress(const std::vector<uint8_t> &typed)
{
    for (uint8_t ch : typed)
        editor_.handleKeyPress(ch);
}

void MainWindow::wheelEvent(QWheelEvent *e)
{
    const int delta = e->angleDelta().y();
    const QPoint global = e->globalPosition().toPoint();
    handle([&] { wheelTurned(delta, global); });
}

void MainWindow::wheelTurned(int delta, QPoint globalPos)
{
    // On a scaled window the mouse is taken back to where it would be at scale 1.
    const QPoint corner = frameGeometry().topLeft();
    const QPoint mouse = corner + view::toLogicalOffset(globalPos - corner, scale_);
    if (view::insideWheelRect(mouse, corner + kHelpboxRect.topLeft(), kHelpboxRect.width()))
        editor_.wheelTurned(delta);
}

void MainWindow::pressButtonKey(ButtonKey key)
{
    switch (key) {
    case ButtonKey::Open: openClicked(); break;
    case ButtonKey::Save: saveClicked(); break;
    case ButtonKey::Help: helpClicked(); break;
    case ButtonKey::None: break;
    }
}

bool MainWindow::eventFilter(QObject *watched, QEvent *e)
{
    // The window sees every key and every wheel turn first, whichever control is under the mouse.
    return view::routeToWindow(this, watched, e) || QWidget::eventFilter(watched, e);
}

// ---- control handlers -------------------------------------------------------

void MainWindow::paintPage(QPainter &p, const QRect &dirty)
{
    // A window moved to a screen of another pixel ratio gets its page drawn afresh at that ratio.
    const double ratio = pageRatio();
    if (ratio != page_.deviceRatio()) {
        page_.createPageBitmap(ratio);
        page_.repaintPage();
    }
    page_.paintScreen(p, dirty);
}

void MainWindow::pageMouseMove(int x, int y)
{
    const int line = render::lineAtY(y, editor_.state().topLine);
    linetext_->setText(QString::number(line));
    const int value = links_.hoverValue(line, x, page_.pointerGlyph().width(), page_.markerGlyph().width());
    doc::EditorState &s = editor_.state();
    if (value != s.hoverTarget) {
        helpbox_->setCursor(value != 0 ? Qt::PointingHandCursor : Qt::ArrowCursor);
        s.hoverTarget = value;
    }
}

void MainWindow::pageMouseDown(int x, int y)
{
    const int target = editor_.state().hoverTarget;
    if (target > 0) {
        editor_.jumpToLine(target);
        helpbox_->setCursor(Qt::ArrowCursor);
        return;
    }
    editor_.placeCaret(render::lineAtY(y, editor_.state().topLine), x);
}

void MainWindow::paintSourceBox(QPainter &p)
{
    const bool source = editor_.state().sourceMode == markup::DisplayMode::Source;
    if (scale_ == 1.0)
        view::paintCodeBox(p, codebox_->size(), source);
    else
        view::paintScaledCodeBox(p, kCodeboxRect.size(), source, scale_);
}

void MainWindow::sourceBoxClicked()
{
    doc::EditorState &s = editor_.state();
    s.sourceMode = s.sourceMode == markup::DisplayMode::Source ? markup::DisplayMode::Rendered
                                                               : markup::DisplayMode::Source;
    codebox_->update();
    page_.repaintPage();
}

void MainWindow::barMoved()
{
    editor_.barMoved(pageBar_->value());
}

void MainWindow::goToTopClicked()
{
    editor_.goToTop();
}

void MainWindow::openClicked()
{
    const QString path = runDialog(QStringLiteral("OpenDialog1"), QFileDialog::AcceptOpen, lastOpenName_);
    if (!path.isEmpty())
        openFile(path);
}

void MainWindow::openFile(const QString &path)
{
    // The whole file is read and checked before the document is replaced, so a
    // file that cannot be read leaves the document, the page and the links as they were.
    QList<QByteArray> lines;
    try {
        lines = fileio::readHelpDocument(path, doc::kLines);
    } catch (const base::FileError &e) {
        showMessage(QStringLiteral("cannot read file"));
        throw fileFailure(path, e, "The document was not changed.");
    }
    keepRecoveryCopy();
    const int count = editor_.replaceDocument(lines);
    linkClicked();
    showMessage(QStringLiteral("file loaded. Lines = %1").arg(count));
    startRecoverySession();
    if (recovery_)
        recovery_->setDocumentName(QFileInfo(path).absoluteFilePath());
}

void MainWindow::keepRecoveryCopies(fileio::RecoveryStore store)
{
    const bool kept = !store.takeUnannounced().isEmpty();
    recovery_ = std::make_unique<RecoveryKeeper>(
        std::move(store), grid_,
        [this](const QString &notice) { showMessage(notice); });
    if (kept)
        showMessage(QStringLiteral("unsaved text kept: helpedit --recover"));
}

void MainWindow::recoverCopy(const QString &path)
{
    openFile(path);
    // SAVE asks for a name (offering the one the copy records), and the copy
    // stays until the text is saved.
    if (!recovery_)
        return;
    const QString name = recovery_->adoptCopy(path);
    if (!name.isEmpty())
        lastSaveName_ = name;
}

void MainWindow::keepRecoveryCopy()
{
    if (recovery_)
        recovery_->keepNow();
}

void MainWindow::startRecoverySession()
{
    if (recovery_)
        recovery_->startSession();
}

void MainWindow::openFromCommandLine(const QString &file)
{
    // File managers hand a file over this way.
    if (file.isEmpty())
        return;
    if (fileio::namesNewFile(file))
        startNewFile(file);
    else
        handle([&] { openFile(file); });
}

void MainWindow::startNewFile(const QString &file)
{
    // As other editors do for `editor new-topic.hlp`: an empty page that the
    // first SAVE offers to save under that name.
    lastSaveName_ = QFileInfo(file).absoluteFilePath();
    showMessage(QStringLiteral("new file: %1").arg(file));
    if (recovery_)
        recovery_->setDocumentName(lastSaveName_);
}

void MainWindow::saveClicked()
{
    if (grid_.lastNonEmptyLine() == 0)
        return;
    const QString path = runDialog(QStringLiteral("SaveDialog1"), QFileDialog::AcceptSave, lastSaveName_);
    if (!path.isEmpty())
        saveFile(path);
}

void MainWindow::saveFile(const QString &path)
{
    const QList<QByteArray> lines = grid_.textLines();
    if (lines.isEmpty())
        return;
    // Written through a temporary file: a failed save leaves the old file whole.
    try {
        fileio::writeFileBytes(path, fileio::serializeHelpFile(lines));
    } catch (const base::FileError &e) {
        showMessage(QStringLiteral("cannot write file"));
        throw fileFailure(path, e, "The file on disk was not changed.");
    }
    showMessage(QStringLiteral("file saved. Lines = %1").arg(lines.size()));
    if (recovery_) {
        recovery_->saved();
        recovery_->setDocumentName(QFileInfo(path).absoluteFilePath());
    }
}

void MainWindow::clearClicked()
{
    keepRecoveryCopy();
    editor_.resetEditor();
    startRecoverySession();
    codebox_->update();
}

void MainWindow::linkClicked()
{
    links_.clearLinkTable();
    links::ScanSource src;
    src.firstLine = 1;
    src.lastLine = doc::kLines;
    src.lineText = [this](int line) { return grid_.getLine(line); };
    src.columnX = [this](int column, int line) { return page_.columnX(column, line); };
    src.pointerWidth = page_.pointerGlyph().width();
    src.markerWidth = page_.markerGlyph().width();
    showMessage(links_.buildLinkTable(src));
}

void MainWindow::helpClicked()
{
    helpform()->showHelp(this);
}

// ---- what the commands changed --------------------------------------------

void MainWindow::linesChanged(int first, int last)
{
    page_.showLines(first, last);
}

void MainWindow::caretMoved()
{
    page_.moveCaret();
    // The input method's candidate window follows the caret.
    if (hasFocus())
        QGuiApplication::inputMethod()->update(Qt::ImCursorRectangle);
}

void MainWindow::topLineMoved()
{
    barFollowsTopLine();
    page_.repaintPage();
}

void MainWindow::documentReplaced()
{
    links_.clearLinkTable();
    barFollowsTopLine();
    page_.repaintPage();
}

int MainWindow::columnX(int column, int line)
{
    return page_.columnX(column, line);
}

void MainWindow::barFollowsTopLine()
{
    // The editor owns the top line; the bar shows it without calling back, and
    // stops at its maximum while keys take the page one line further.
    const QSignalBlocker quiet(pageBar_);
    pageBar_->setValue(editor_.state().topLine - 1);
}

void installMessageBoxReport()
{
    base::setErrorSink([](const QString &text) {
        QMessageBox::critical(QApplication::activeWindow(), QStringLiteral("helpedit"), text);
    });
}

} // namespace app
