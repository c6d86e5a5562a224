#pragma once
// The help viewer's page as assistive technology sees it: a read-only text of
// the whole help as shown, whose caret is the start of the line at the top of
// the page. Moving that caret scrolls the viewer to the caret's line.

#include "view/pageaccessible.h"

namespace helpview {

class HelpViewer;

class HelpAccessibility : public view::PageTextAccess {
public:
    explicit HelpAccessibility(HelpViewer &form);

    // Tells a listening screen reader where the page now starts. Call while one listens.
    void announceCaret();

    // PageTextAccess: the help text, read only.
    render::PageText &pageText() override { return text_; }
    int caretOffset() override;
    void setCaretOffset(int offset) override;
    QRect characterRect(int offset) override;
    int offsetAt(QPoint point) override;
    bool isEditable() const override { return false; }
    QString name() const override;
    void insertText(int, const QString &) override {}
    void deleteText(int, int) override {}

private:
    HelpViewer &form_;
    render::PageText text_;
};

} // namespace helpview
