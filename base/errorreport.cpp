#include "base/errorreport.h"

#include <exception>

namespace base {

namespace {
ErrorSink &sink()
{
    static ErrorSink s;
    return s;
}
int &count()
{
    static int c = 0;
    return c;
}
} // namespace

ErrorSink setErrorSink(ErrorSink s)
{
    ErrorSink old = std::move(sink());
    sink() = std::move(s);
    return old;
}

void reportError(const QString &text)
{
    ++count();
    if (sink())
        sink()(text);
}

int errorReportCount()
{
    return count();
}

bool guarded(const std::function<void()> &body)
{
    try {
        body();
        return true;
    } catch (const std::exception &e) {
        reportError(QString::fromUtf8(e.what()));
    } catch (...) {
        reportError(QStringLiteral("Unknown error"));
    }
    return false;
}

} // namespace base
