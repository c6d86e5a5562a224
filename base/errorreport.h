#pragma once
// The general error report: the one path by which an error reaches the user.
// Every event entry point runs its body through guarded(); an error thrown inside
// skips the rest of the handler, is handed to the report's sink, and the program
// goes on. The application installs a sink that shows a message box; tests
// install one that records.

#include <QString>
#include <functional>

namespace base {

using ErrorSink = std::function<void(const QString &)>;

// Installs the sink that shows reports; returns the sink it replaces.
ErrorSink setErrorSink(ErrorSink sink);

// Hands one error text to the sink.
void reportError(const QString &text);

// Runs body; any exception it throws is reported. Returns true when body completed.
bool guarded(const std::function<void()> &body);

} // namespace base
