#pragma once
// The editor's main window: owns every control, receives every event and routes
// each one to the operation that handles it.

#include "app/keymap.h"
#include "app/recoverykeeper.h"
#include "document/editor.h"
#include "links/linktable.h"
#include "view/pageview.h"
#include "view/surface.h"

#include <QFileDialog>
#include <QLabel>
#include <QPushButton>
#include <QScrollBar>
#include <QStyle>
#include <QWidget>

#include <memory>

namespace helpview {
class HelpViewer;
}

namespace app {

// The main window's client area at its natural size.
constexpr int kClientWidth = 851;
constexpr int kClientHeight = 911;

class MainWindow;
class EditorAccessibility;

// The "SOURCE CODE" toggle box.
class CodeBox : public QWidget {
    Q_OBJECT
public:
    CodeBox(MainWindow &form, QWidget *parent);

protected:
    void paintEvent(QPaintEvent *e) override;
    void mousePressEvent(QMouseEvent *e) override;

private:
    MainWindow &form_;
};

// The page scroll bar. A line moves its slider by about one pixel, so a
// change of value repaints only where the slider was and is, not the whole bar.
class PageBar : public QScrollBar {
    Q_OBJECT
public:
    PageBar(QWidget *parent);

protected:
    void sliderChange(SliderChange change) override;
    void paintEvent(QPaintEvent *e) override;

private:
    QRect part(QStyle::SubControl control) const;
    bool atEnd() const;

    QRect paintedSlider_; // where the last paint put the slider
    bool paintedAtEnd_ = true;
};

class MainWindow : public QWidget, private doc::EditorListener {
    Q_OBJECT
public:
    explicit MainWindow(QWidget *parent = nullptr);
    ~MainWindow() override;

    // Returns the editor (state, grid and commands).
    doc::Editor &editor() { return editor_; }
    // Returns the page view.
    view::PageView &pageView() { return page_; }
    // Returns the link table.
    links::LinkTable &linkTable() { return links_; }
    // Returns what assistive technology reads the window through.
    EditorAccessibility &accessibility() { return *accessibility_; }

    // Returns the controls, for wiring and inspection.
    view::PaintSurface *helpbox() const { return helpbox_; }
    CodeBox *codebox() const { return codebox_; }
    QScrollBar *pageBar() const { return pageBar_; }
    QLabel *msgtext() const { return msgtext_; }
    QLabel *linetext() const { return linetext_; }

    // Runs body as an event handler: an error skips the rest and goes to the error report.
    bool handle(const std::function<void()> &body);

    // Control handlers.
    void paintPage(QPainter &p, const QRect &dirty);
    void pageMouseMove(int x, int y);
    void pageMouseDown(int x, int y);
    void paintSourceBox(QPainter &p);
    void sourceBoxClicked();
    void barMoved();
    void goToTopClicked();
    void openClicked();
    void saveClicked();
    void clearClicked();
    void linkClicked();
    void helpClicked();
    // Opens the help file at path as OPEN does after its dialog.
    void openFile(const QString &path);
    // Opens the file named on the command line, if any (empty: none), as OPEN
    // would; a file not there yet in a folder that is starts a new document of that name.
    void openFromCommandLine(const QString &file);
    // Saves the document to path as SAVE does after its dialog.
    void saveFile(const QString &path);
    // Keeps recovery copies of unsaved text in store from now on, and tells the
    // user once about copies an earlier run kept.
    void keepRecoveryCopies(fileio::RecoveryStore store);
    // Opens a recovery copy as a document that stays unsaved; SAVE offers the
    // name the copy records, if any.
    void recoverCopy(const QString &path);
    // Returns the keeper of the recovery copies, null before keepRecoveryCopies.
    RecoveryKeeper *recoveryKeeper() const { return recovery_.get(); }
    // Returns the help viewer window, made at first use.
    helpview::HelpViewer *helpform();
    // Answers the input method: enabled, and the caret's rectangle in the window.
    QVariant inputMethodQuery(Qt::InputMethodQuery query) const override;
    // Window-level wheel handler: mouse position in screen coordinates.
    void wheelTurned(int delta, QPoint globalPos);
    // Does what the button of a button key (Ctrl+O, Ctrl+S, F1) does.
    void pressButtonKey(ButtonKey key);

    // Sets the scale asked for by hand (--zoom, 1 for none) and fits the window
    // to its screen; the program does so before it shows the window.
    void setZoom(double zoom);
    // Shows the window at the largest scale up to the zoom at which it fits
    // its screen, centred on it.
    void fitToScreen();
    // Lays the window out at scale (logical pixels times scale) and repaints it.
    void applyWindowScale(double scale);
    // Returns the window's scale (1: its natural size).
    double windowScale() const { return scale_; }

protected:
    void paintEvent(QPaintEvent *e) override;
    void keyPressEvent(QKeyEvent *e) override;
    void closeEvent(QCloseEvent *e) override;
    void moveEvent(QMoveEvent *e) override;
    void focusInEvent(QFocusEvent *e) override;
    void inputMethodEvent(QInputMethodEvent *e) override;
    void wheelEvent(QWheelEvent *e) override;
    bool eventFilter(QObject *watched, QEvent *e) override;

private:
    void setUpWindow();
    void tearDownWindow();
    void handleKeyDown(QKeyEvent *e);
    void handleKeyPress(const std::vector<uint8_t> &typed);
    void buildControls();
    void buildBarAndLabels();
    void connectControls();
    QPushButton *makeButton(const QString &name, const QString &caption, QRect geometry,
                            int charHeight, uint32_t color);
    std::unique_ptr<QFileDialog> makeDialog(const QString &name, QFileDialog::AcceptMode mode);
    QString runDialog(const QString &name, QFileDialog::AcceptMode mode, QString &lastName);
    void keepRecoveryCopy();
    void startRecoverySession();
    void startNewFile(const QString &file);
    QLabel *makeLabel(const QString &name, QRect geometry, Qt::Alignment align);
    void place(QWidget *w, QRect geometry);
    QMargins frameMargins() const;
    double pageRatio() const;
    void showMessage(const QString &text);

    // What the editor's commands changed, shown on the page, the bar and the links.
    void linesChanged(int first, int last) override;
    void caretMoved() override;
    void topLineMoved() override;
    void documentReplaced() override;
    int columnX(int column, int line) override;
    void barFollowsTopLine();

    doc::TextGrid grid_;
    doc::Editor editor_;
    view::PageView page_;
    links::LinkTable links_;

    view::PaintSurface *helpbox_ = nullptr;
    QPushButton *topButton_ = nullptr; // P1: go to top
    QPushButton *openBtn_ = nullptr;
    QPushButton *saveBtn_ = nullptr;
    QPushButton *clearBtn_ = nullptr;
    QPushButton *linkBtn_ = nullptr;
    CodeBox *codebox_ = nullptr;
    QPushButton *helpBtn_ = nullptr;
    PageBar *pageBar_ = nullptr;
    QLabel *msgtext_ = nullptr;
    QLabel *linetext_ = nullptr;
    helpview::HelpViewer *helpform_ = nullptr;
    std::unique_ptr<RecoveryKeeper> recovery_;
    // Each control's place and font at scale 1, laid out again at every scale.
    struct Placement {
        QWidget *widget;
        QRect geometry;
        QFont font;
    };
    std::vector<Placement> placements_;
    double scale_ = 1.0;
    double zoom_ = 1.0;
    bool fitsScreen_ = false; // whether the window keeps fitting its screen
    QMargins fittedFrame_;    // the frame the last fit allowed for
    QString lastOpenName_;
    QString lastSaveName_;
    std::unique_ptr<EditorAccessibility> accessibility_;
};

// Routes the error report to a message box over the active window.
void installMessageBoxReport();

} // namespace app
