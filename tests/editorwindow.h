#pragma once
// A shown editor window for tests, with the error report recorded instead of
// shown in a message box.

#include "app/mainwindow.h"
#include "base/errorreport.h"

#include <QTest>
#include <memory>

class EditorWindow {
public:
    // Opens a fresh, shown main window; returns whether it was exposed.
    bool open()
    {
        reports.clear();
        base::setErrorSink([this](const QString &t) { reports << t; });
        form_ = std::make_unique<app::MainWindow>();
        form_->show();
        return QTest::qWaitForWindowExposed(form_.get());
    }
    // Closes the window; returns the error reports raised while it was open.
    QStringList close()
    {
        form_.reset();
        return reports;
    }
    // Returns the window.
    app::MainWindow &form() { return *form_; }
    const app::MainWindow &form() const { return *form_; }

    QStringList reports;

private:
    std::unique_ptr<app::MainWindow> form_;
};
