#include "app/check.h"

#include "app/pagefaults.h"
#include "base/checked.h"
#include "document/textgrid.h"
#include "fileio/helpfile.h"
#include "links/linkcheck.h"
#include "render/glyphs.h"

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <cstdio>

namespace app {

using base::Diagnostic;

namespace {

const QString kStdinName = QStringLiteral("<stdin>");

// Returns the bytes of path, or of standard input for "-"; throws base::FileError.
QByteArray readInput(const QString &path)
{
    if (path != QLatin1String("-"))
        return fileio::readFileBytes(path);
    QFile in;
    if (!in.open(stdin, QIODevice::ReadOnly))
        throw base::FileError("standard input cannot be read");
    QByteArray bytes = in.readAll();
    if (in.error() != QFileDevice::NoError)
        throw base::FileError("read error");
    return bytes;
}

// Returns the warnings of the editor's file reader, each in the common form.
QList<Diagnostic> formatFindings(const QList<fileio::FormatWarning> &warnings)
{
    QList<Diagnostic> out;
    for (const fileio::FormatWarning &w : warnings)
        out.append({w.line, w.column, base::Severity::Warning, w.code, w.message});
    return out;
}

// Returns the page's warnings for every line with text, drawn as the editor draws them.
QList<Diagnostic> pageFindings(const doc::TextGrid &grid, const QList<links::ScanEvent> &names)
{
    static const QImage pointer = render::createPointerGlyph();
    static const QImage marker = render::createMarkerGlyph();
    render::StyleMachine machine(pointer, marker);
    QHash<int, LineNames> namesByLine;
    for (const links::ScanEvent &e : names)
        namesByLine[e.line].insert(e.start, &e);
    QList<Diagnostic> out;
    for (int line = 1; line <= doc::kLines; ++line) {
        if (grid.lineLength(line) > 0)
            out += pageFaults(line, grid.getLine(line), machine, namesByLine.value(line));
    }
    return out;
}

// Returns a name or message fit for one output line: control codes as \xNN.
QString oneLine(const QString &text)
{
    QString s;
    for (const QChar c : text) {
        if (c.category() == QChar::Other_Control)
            s += QStringLiteral("\\x%1").arg(c.unicode(), 2, 16, QLatin1Char('0'));
        else
            s += c;
    }
    return s;
}

FileCheck checkInput(const QString &path)
{
    const QString name = path == QLatin1String("-") ? kStdinName : path;
    try {
        return checkHelpBytes(name, readInput(path));
    } catch (const base::HelpError &e) {
        FileCheck failed;
        failed.name = name;
        failed.readable = false;
        failed.readError = QStringLiteral("cannot read file: ") + QString::fromLocal8Bit(e.what());
        return failed;
    }
}

const char *severityWord(base::Severity s)
{
    return s == base::Severity::Error ? "error" : "warning";
}

void printGnu(const FileCheck &check, QTextStream &out, QTextStream &err)
{
    const QString name = oneLine(check.name);
    if (!check.readable) {
        err << name << ": " << check.readError << Qt::endl;
        return;
    }
    for (const Diagnostic &d : check.diagnostics)
        out << name << ':' << d.line << ':' << d.column << ": " << severityWord(d.severity) << ": " << d.message << '\n';
    out << name << ": " << check.summary << Qt::endl;
}

QJsonObject jsonOf(const FileCheck &check, WarningPolicy policy)
{
    QJsonArray diagnostics;
    for (const Diagnostic &d : check.diagnostics) {
        diagnostics.append(QJsonObject{{"file", check.name}, {"line", d.line}, {"column", d.column},
                                       {"severity", severityWord(d.severity)}, {"code", d.code},
                                       {"message", d.message}});
    }
    QJsonObject file{{"file", check.name}, {"readable", check.readable},
                     {"status", checkStatus(check, policy)}, {"diagnostics", diagnostics}};
    if (check.readable)
        file.insert("summary", check.summary);
    else
        file.insert("error", check.readError);
    return file;
}

} // namespace

FileCheck checkHelpBytes(const QString &name, const QByteArray &bytes)
{
    doc::TextGrid grid;
    grid.loadLines(fileio::helpDocumentLines(bytes, doc::kLines));
    const QList<fileio::FormatWarning> warnings = fileio::formatWarnings(bytes);
    const links::LinkReport links =
        links::diagnoseLinks(1, doc::kLines, [&grid](int line) { return grid.getLine(line); });
    FileCheck check;
    check.name = name;
    check.summary = links.summary;
    check.diagnostics = formatFindings(warnings);
    // Bytes that are no text would give a warning on every line; the one that says so is enough.
    const bool binary = warnings.size() == 1 && warnings.first().code == QLatin1String("binary-file");
    if (!binary)
        check.diagnostics += pageFindings(grid, links.names);
    check.diagnostics += links.faults;
    base::sortByPlace(check.diagnostics);
    return check;
}

int checkStatus(const FileCheck &check, WarningPolicy policy)
{
    if (!check.readable)
        return 2;
    for (const Diagnostic &d : check.diagnostics) {
        if (d.severity == base::Severity::Error || policy == WarningPolicy::Fail)
            return 1;
    }
    return 0;
}

int runCheck(const CommandLine &command, QTextStream &out, QTextStream &err)
{
    int status = 0;
    QJsonArray files;
    for (const QString &path : command.files) {
        const FileCheck check = checkInput(path);
        status = std::max(status, checkStatus(check, command.warnings));
        if (command.format == CheckFormat::Json) {
            files.append(jsonOf(check, command.warnings));
            if (!check.readable)
                err << oneLine(check.name) << ": " << check.readError << Qt::endl;
        } else {
            printGnu(check, out, err);
        }
    }
    if (command.format == CheckFormat::Json) {
        const QJsonObject all{{"status", status}, {"files", files}};
        out << QJsonDocument(all).toJson(QJsonDocument::Indented);
        out.flush();
    }
    return status;
}

} // namespace app
