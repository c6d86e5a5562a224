#include "devtools.h"

#include <QDir>
#include <QElapsedTimer>
#include <QJsonArray>
#include <QJsonDocument>

#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

namespace {

constexpr int kAnswerMs = 30000;

} // namespace

DevTools::~DevTools()
{
    if (process_.state() != QProcess::NotRunning) {
        send(QStringLiteral("Browser.close"), {}, {});
        if (!process_.waitForFinished(5000)) {
            process_.kill();
            process_.waitForFinished(5000);
        }
    }
    if (toBrowser_ >= 0)
        ::close(toBrowser_);
    if (fromBrowser_ >= 0)
        ::close(fromBrowser_);
}

QString DevTools::start(const QString &binary, const QString &folder, int width, int height)
{
    if (!QDir().mkpath(folder))
        return QStringLiteral("cannot make %1").arg(folder);
    int commands[2];
    int answers[2];
    if (::pipe2(commands, O_CLOEXEC) != 0 || ::pipe2(answers, O_CLOEXEC) != 0)
        return QStringLiteral("cannot make the pipes");
    const int readEnd = commands[0];
    const int writeEnd = answers[1];
    // The child puts the pipe ends where the browser expects them.
    process_.setChildProcessModifier([readEnd, writeEnd] {
        const int r = ::fcntl(readEnd, F_DUPFD_CLOEXEC, 10);
        const int w = ::fcntl(writeEnd, F_DUPFD_CLOEXEC, 10);
        if (r < 0 || w < 0 || ::dup2(r, 3) != 3 || ::dup2(w, 4) != 4)
            ::_exit(127);
    });
    launch(binary, folder, width, height);
    ::close(readEnd);
    ::close(writeEnd);
    toBrowser_ = commands[1];
    fromBrowser_ = answers[0];
    if (!process_.waitForStarted(10000))
        return QStringLiteral("cannot start %1: %2").arg(binary, process_.errorString());
    return attachToPage(width, height);
}

void DevTools::launch(const QString &binary, const QString &folder, int width, int height)
{
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("HOME"), folder);
    env.insert(QStringLiteral("XDG_CONFIG_HOME"), folder + QStringLiteral("/config"));
    env.insert(QStringLiteral("XDG_CACHE_HOME"), folder + QStringLiteral("/cache"));
    process_.setProcessEnvironment(env);
    process_.setProcessChannelMode(QProcess::ForwardedOutputChannel);
    process_.setStandardErrorFile(folder + QStringLiteral("/browser.log"));
    process_.start(binary, {QStringLiteral("--headless=new"), QStringLiteral("--no-sandbox"),
                            QStringLiteral("--disable-gpu"), QStringLiteral("--hide-scrollbars"),
                            QStringLiteral("--force-device-scale-factor=1"), QStringLiteral("--no-first-run"),
                            QStringLiteral("--remote-debugging-pipe"),
                            QStringLiteral("--user-data-dir=") + folder + QStringLiteral("/profile"),
                            QStringLiteral("--window-size=%1,%2").arg(width).arg(height),
                            QStringLiteral("about:blank")});
}

QString DevTools::attachToPage(int width, int height)
{
    const QJsonObject targets = send(QStringLiteral("Target.getTargets"), {}, {});
    QString target;
    for (const QJsonValue t : targets.value(QStringLiteral("targetInfos")).toArray()) {
        if (t[QStringLiteral("type")].toString() == QLatin1String("page"))
            target = t[QStringLiteral("targetId")].toString();
    }
    if (target.isEmpty())
        return QStringLiteral("the browser shows no page");
    const QJsonObject attached = send(QStringLiteral("Target.attachToTarget"),
                                      {{QStringLiteral("targetId"), target}, {QStringLiteral("flatten"), true}}, {});
    session_ = attached.value(QStringLiteral("sessionId")).toString();
    if (session_.isEmpty())
        return QStringLiteral("cannot attach to the page");
    call(QStringLiteral("Page.enable"));
    call(QStringLiteral("Emulation.setDeviceMetricsOverride"),
         {{QStringLiteral("width"), width}, {QStringLiteral("height"), height},
          {QStringLiteral("deviceScaleFactor"), 1}, {QStringLiteral("mobile"), false}});
    return {};
}

QJsonObject DevTools::call(const QString &method, const QJsonObject &params)
{
    return send(method, params, session_);
}

QJsonObject DevTools::send(const QString &method, const QJsonObject &params, const QString &session)
{
    const int id = nextId_++;
    QJsonObject message{{QStringLiteral("id"), id}, {QStringLiteral("method"), method},
                        {QStringLiteral("params"), params}};
    if (!session.isEmpty())
        message.insert(QStringLiteral("sessionId"), session);
    const QByteArray bytes = QJsonDocument(message).toJson(QJsonDocument::Compact) + '\0';
    for (qsizetype done = 0; done < bytes.size();) {
        const ssize_t n = ::write(toBrowser_, bytes.constData() + done, size_t(bytes.size() - done));
        if (n <= 0)
            return {{QStringLiteral("error"), QStringLiteral("the browser stopped reading")}};
        done += n;
    }
    QJsonObject answer;
    while (readMessage(answer, kAnswerMs)) {
        if (answer.value(QStringLiteral("id")).toInt() == id) {
            if (answer.contains(QStringLiteral("error")))
                return {{QStringLiteral("error"), answer.value(QStringLiteral("error"))}};
            return answer.value(QStringLiteral("result")).toObject();
        }
        if (answer.contains(QStringLiteral("method")))
            events_.append(answer);
    }
    return {{QStringLiteral("error"), QStringLiteral("no answer to %1").arg(method)}};
}

bool DevTools::readMessage(QJsonObject &message, int timeoutMs)
{
    QElapsedTimer clock;
    clock.start();
    while (!pending_.contains('\0')) {
        pollfd p{fromBrowser_, POLLIN, 0};
        const int left = timeoutMs - int(clock.elapsed());
        if (left <= 0 || ::poll(&p, 1, left) <= 0)
            return false;
        char buffer[65536];
        const ssize_t n = ::read(fromBrowser_, buffer, sizeof buffer);
        if (n <= 0)
            return false;
        pending_.append(buffer, n);
    }
    const qsizetype end = pending_.indexOf('\0');
    message = QJsonDocument::fromJson(pending_.left(end)).object();
    pending_.remove(0, end + 1);
    return true;
}

bool DevTools::waitForEvent(const QString &method, int timeoutMs)
{
    QElapsedTimer clock;
    clock.start();
    for (;;) {
        for (qsizetype i = 0; i < events_.size(); ++i) {
            if (events_[i].value(QStringLiteral("method")).toString() == method) {
                events_.remove(0, i + 1);
                return true;
            }
        }
        events_.clear();
        QJsonObject message;
        const int left = timeoutMs - int(clock.elapsed());
        if (left <= 0 || !readMessage(message, left))
            return false;
        events_.append(message);
    }
}

QJsonValue DevTools::evaluate(const QString &expression)
{
    const QJsonObject result = call(QStringLiteral("Runtime.evaluate"),
                                    {{QStringLiteral("expression"), expression},
                                     {QStringLiteral("returnByValue"), true}});
    return result.value(QStringLiteral("result")).toObject().value(QStringLiteral("value"));
}

bool DevTools::navigate(const QString &url)
{
    events_.clear();
    const QJsonObject r = call(QStringLiteral("Page.navigate"), {{QStringLiteral("url"), url}});
    return !r.contains(QStringLiteral("error")) && waitForEvent(QStringLiteral("Page.loadEventFired"), kAnswerMs);
}

void DevTools::click(double x, double y)
{
    for (const char *type : {"mousePressed", "mouseReleased"}) {
        call(QStringLiteral("Input.dispatchMouseEvent"),
             {{QStringLiteral("type"), QString::fromLatin1(type)}, {QStringLiteral("x"), x}, {QStringLiteral("y"), y},
              {QStringLiteral("button"), QStringLiteral("left")}, {QStringLiteral("clickCount"), 1}});
    }
}
