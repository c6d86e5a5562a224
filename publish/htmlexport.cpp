#include "publish/htmlexport.h"

#include "base/checked.h"
#include "fileio/folders.h"
#include "fileio/helpfile.h"
#include "publish/htmlpage.h"
#include "publish/weblinks.h"

#include <QDir>
#include <QFileInfo>
#include <QHash>
#include <QUrl>

#include <optional>

namespace publish {

namespace {

constexpr int kFailed = 2;
const QString kIndexName = QStringLiteral("index.html");

const char *const kIndexHead =
    "<!DOCTYPE html>\n<html>\n<head>\n<meta charset=\"utf-8\" />\n"
    "<meta http-equiv=\"Content-Security-Policy\" content=\"default-src 'none'; style-src 'unsafe-inline'\" />\n"
    "<meta name=\"generator\" content=\"helpedit\" />\n<title>Help files</title>\n"
    "<style>\nhtml{background:#fffff0}\nbody{margin:20px;font:20px/25px Arial,\"Liberation Sans\",Arimo,"
    "Helvetica,sans-serif}\n</style>\n</head>\n<body>\n<main>\n<h1>Help files</h1>\n<ul>\n";

// Returns why the page of file cannot be written beside the others, or nothing.
QString nameClash(const QString &pageName, int fileCount, const QHash<QString, QString> &taken)
{
    if (fileCount > 1 && pageName == kIndexName)
        return QStringLiteral("%1 is the index of the pages").arg(pageName);
    if (taken.contains(pageName))
        return QStringLiteral("%1 is already the page of %2").arg(pageName, taken.value(pageName));
    return {};
}

// Writes bytes to path through a temporary file; on failure says why.
bool writePage(const QString &path, const QByteArray &bytes, QTextStream &out, QTextStream &err)
{
    try {
        fileio::writeFileBytes(path, bytes);
    } catch (const base::HelpError &e) {
        err << path << ": cannot write file: " << e.what() << Qt::endl;
        return false;
    }
    out << path << '\n';
    return true;
}

// Exports one file as page; returns its index entry, or nothing after saying why it failed.
std::optional<ExportedPage> exportFile(HtmlPageWriter &writer, const QString &file, const QString &pageName,
                                       const QDir &dir, QTextStream &out, QTextStream &err)
{
    doc::TextGrid grid;
    try {
        grid.loadLines(fileio::readHelpDocument(file, doc::kLines));
    } catch (const base::HelpError &e) {
        err << file << ": cannot read file: " << e.what() << Qt::endl;
        return std::nullopt;
    }
    const QString firstLine = writer.firstShownLine(grid);
    const QString title = firstLine.isEmpty() ? QFileInfo(file).fileName() : firstLine;
    if (!writePage(dir.filePath(pageName), writer.page(grid, title), out, err))
        return std::nullopt;
    return ExportedPage{file, pageName, firstLine};
}

} // namespace

QString pageNameOf(const QString &file)
{
    QString name = QFileInfo(file).fileName();
    if (name.endsWith(QLatin1String(".hlp"), Qt::CaseInsensitive))
        name.chop(4);
    return name + QStringLiteral(".html");
}

QByteArray indexPage(const QList<ExportedPage> &pages)
{
    QByteArray html = kIndexHead;
    for (const ExportedPage &p : pages) {
        const QByteArray href = QUrl::toPercentEncoding(p.pageName);
        html += "<li><a href=\"" + href + "\">" + escapeHtml(QFileInfo(p.file).fileName()).toUtf8() + "</a>";
        if (!p.firstLine.isEmpty())
            html += ": " + escapeHtml(p.firstLine).toUtf8();
        html += "</li>\n";
    }
    return html + "</ul>\n</main>\n</body>\n</html>\n";
}

int exportHtml(const QStringList &files, const QString &dirPath, QTextStream &out, QTextStream &err)
{
    try {
        fileio::makeFolder(dirPath);
    } catch (const base::HelpError &e) {
        err << dirPath << ": cannot create folder: " << e.what() << Qt::endl;
        return kFailed;
    }
    const QDir dir(dirPath);
    HtmlPageWriter writer;
    QList<ExportedPage> pages;
    QHash<QString, QString> taken;
    bool failed = false;
    for (const QString &file : files) {
        const QString pageName = pageNameOf(file);
        if (const QString clash = nameClash(pageName, int(files.size()), taken); !clash.isEmpty()) {
            err << file << ": cannot export: " << clash << Qt::endl;
            failed = true;
            continue;
        }
        taken.insert(pageName, file);
        const std::optional<ExportedPage> page = exportFile(writer, file, pageName, dir, out, err);
        if (page)
            pages.append(*page);
        failed = failed || !page;
    }
    // An index of some of the pages would look like the whole export.
    if (files.size() > 1 && !failed)
        failed = !writePage(dir.filePath(kIndexName), indexPage(pages), out, err);
    out.flush();
    return failed ? kFailed : 0;
}

} // namespace publish
