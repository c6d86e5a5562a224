#pragma once
// helpedit --export=html FILE... --out=DIR: each help file as a web page,
// DIR/NAME.html, and DIR/index.html listing the pages when there are several.

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>
#include <QTextStream>

namespace publish {

// One page of an export: the file it shows and what its index entry says.
struct ExportedPage {
    QString file;      // the help file
    QString pageName;  // NAME.html
    QString firstLine; // its first line with text, as shown
};

// Returns the page name of a help file: its name without ".hlp", then ".html".
QString pageNameOf(const QString &file);

// Returns the index page listing the pages: file name and first line of each.
QByteArray indexPage(const QList<ExportedPage> &pages);

// Writes a page for each file into dir (made when missing) and, for more than
// one file, index.html; prints each path written to out and each failure,
// naming the file or folder and the cause, to err. Every file is written
// through a temporary file. Returns 0, or 2 when anything failed (the index
// is then not written).
int exportHtml(const QStringList &files, const QString &dir, QTextStream &out, QTextStream &err);

} // namespace publish
