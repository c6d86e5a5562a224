#include "base/errorreport.h"

#include <exception>

namespace base {

namespace {
ErrorSink &sink()
{
    static ErrorSink s;
    return s;
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
    if (sink())
        sink()(text);
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
