#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <vector>

namespace marvek::cdbuilder {

struct PdfSection {
    QString heading;
    QStringList paragraphs;
};

// A printable document: a title page, then one page per section (a long section runs on).
struct PdfContent {
    QString title;    // also the document title a viewer shows
    QString subtitle; // under the title on the first page
    QString footer;   // left of the page number on every page
    std::vector<PdfSection> sections;
};

// Renders the document with QPdfWriter (A4). The creation date the writer stamps is replaced by
// fixedDate ("YYYYMMDDHHmmSS", same length, so the cross-reference offsets stay right), which makes
// the bytes depend on the content alone. Needs a QGuiApplication.
QByteArray makePdf(const PdfContent& content, const QString& fixedDate);

} // namespace marvek::cdbuilder
