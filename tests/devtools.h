#pragma once
// A headless Chromium driven through the DevTools protocol over a pipe
// (--remote-debugging-pipe): the browser reads commands on its descriptor 3
// and writes answers and events on its descriptor 4, each a JSON text ended
// by a NUL byte. No network port is opened and nothing beyond Qt is needed.

#include <QJsonObject>
#include <QJsonValue>
#include <QList>
#include <QProcess>
#include <QString>

class DevTools {
public:
    DevTools() = default;
    DevTools(const DevTools &) = delete;
    DevTools &operator=(const DevTools &) = delete;
    // Closes the browser and waits for it.
    ~DevTools();

    // Starts the browser with a fresh profile and home in folder and attaches
    // to a page of width x height pixels; returns why that failed, or nothing.
    QString start(const QString &binary, const QString &folder, int width, int height);
    // Sends a command to the page and returns its result; a protocol error or
    // a silent browser gives an object with "error" set.
    QJsonObject call(const QString &method, const QJsonObject &params = {});
    // Returns the value of a JavaScript expression evaluated in the page.
    QJsonValue evaluate(const QString &expression);
    // Loads url and waits until the page has loaded; returns whether it did.
    bool navigate(const QString &url);
    // Clicks the left mouse button at (x, y) of the window.
    void click(double x, double y);

private:
    // Starts the browser on binary with its profile in folder and a window of width x height.
    void launch(const QString &binary, const QString &folder, int width, int height);
    // Attaches to the browser's page and gives it width x height; returns an error, or empty.
    QString attachToPage(int width, int height);
    QJsonObject send(const QString &method, const QJsonObject &params, const QString &session);
    bool readMessage(QJsonObject &message, int timeoutMs);
    bool waitForEvent(const QString &method, int timeoutMs);

    QProcess process_;
    int toBrowser_ = -1;
    int fromBrowser_ = -1;
    QByteArray pending_;
    QList<QJsonObject> events_;
    int nextId_ = 1;
    QString session_;
};
