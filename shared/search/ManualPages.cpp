#include "shared/search/ManualPages.h"

#include "shared/formdata/PdfPaths.h"
#include "shared/search/HtmlText.h"
#include "shared/search/pdf/PdfPagesLoader.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <algorithm>

namespace marvek::search {

namespace {

// Bounds of what one manual may put into the index.
constexpr int MaxPagesPerManual = 200000;

bool isHtmlFile(const QString& name) {
    return name.endsWith(QLatin1String(".html"), Qt::CaseInsensitive) ||
           name.endsWith(QLatin1String(".htm"), Qt::CaseInsensitive);
}

bool readHtmlManual(const platform::Machine& machine, const ManualSource& manual, int fallbackCodePage,
                    const PageSink& sink) {
    const QString root = machine.toHost(manual.InsPath);
    if (root.isEmpty() || !QFileInfo(root).isDir())
        return false;
    QStringList files;
    QDirIterator walk(root, QDir::Files | QDir::Hidden, QDirIterator::Subdirectories);
    while (walk.hasNext() && files.size() < MaxPagesPerManual) {
        const QString file = walk.next();
        if (isHtmlFile(file))
            files.append(file);
    }
    std::sort(files.begin(), files.end());
    const QDir base(root);
    for (const QString& file : files) {
        QFile in(file);
        if (!in.open(QIODevice::ReadOnly))
            continue; // a page that cannot be read is not searchable; the others are
        const HtmlText html = ExtractHtmlText(in.read(MaxHtmlBytes), fallbackCodePage);
        if (html.frameset)
            continue;
        PageText page;
        page.path = base.relativeFilePath(file).replace(QLatin1Char('/'), QLatin1Char('\\'));
        page.title = html.title;
        page.text = html.text;
        if (!sink(page))
            return false;
    }
    return true;
}

} // namespace

bool ReadPdfPages(const QString& hostFile, const std::function<bool(int, const QString&)>& sink,
                  QString* title) {
    static const ReadPdfPagesFunction read = LoadPdfPagesModule();
    return read && read(hostFile, sink, title, MaxPagesPerManual);
}

bool ReadManualPages(const platform::Machine& machine, const ManualSource& manual, int fallbackCodePage,
                     const PageSink& sink) {
    if (!manual.pdf)
        return readHtmlManual(machine, manual, fallbackCodePage, sink);
    const QString pdf = shared::PdfPath(manual.InsPath, manual.Pub_No);
    const QString host = machine.toHost(pdf);
    if (host.isEmpty())
        return false;
    const QString path = pdf.mid(manual.InsPath.size() + 1);
    QString title;
    return ReadPdfPages(
        host,
        [&](int number, const QString& text) {
            PageText page;
            page.path = path;
            page.title = (title.isEmpty() ? manual.Pub_No : title) + QStringLiteral(" (%1)").arg(number);
            page.text = text.simplified();
            page.pdfPage = number;
            return sink(page);
        },
        &title);
}

} // namespace marvek::search
