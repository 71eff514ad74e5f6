#include "platform/testing/BuildPath.h"
#include "shared/search/ManualPages.h"
#include "shared/search/pdf/PdfPagesLoader.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <gtest/gtest.h>

using namespace marvek::search;

namespace {

QString samplePdf() {
    return marvek::testing::BuildPath("MARVEK_SAMPLE_CD_DIR") +
           QStringLiteral("/NCF00EN/contents/NCF00EN.pdf");
}

} // namespace

// A program of a build finds the module in the build's folder before the runtime package's; the
// package's folder is the one it installs the module in.
TEST(PdfPages, TheBuildsModuleComesFirstThenThePackages) {
    std::vector<QString> folders;
    for (const char* const* folder = PdfPagesModuleFolders(); *folder; ++folder)
        folders.push_back(QString::fromUtf8(*folder));
    ASSERT_EQ(folders.size(), 2u);
    EXPECT_TRUE(QFileInfo::exists(folders.front() + QLatin1Char('/') + QLatin1String(PdfPagesModuleFile)));
    EXPECT_EQ(folders.back(), QStringLiteral("/usr/lib/marvek"));
    EXPECT_NE(LoadPdfPagesModule(), nullptr);
}

// Through the module: every page in order with its text and the document's title; a stop from the sink
// ends the reading with false; a file that is no PDF, or none, is unreadable.
TEST(PdfPages, PagesInOrderAStopAndUnreadableFiles) {
    std::vector<int> pages;
    QString text;
    QString title = QStringLiteral("unset");
    ASSERT_TRUE(ReadPdfPages(
        samplePdf(),
        [&](int page, const QString& pageText) {
            pages.push_back(page);
            text += pageText;
            return true;
        },
        &title));
    ASSERT_GE(pages.size(), 2u);
    for (size_t i = 0; i < pages.size(); ++i)
        EXPECT_EQ(pages[i], int(i) + 1);
    EXPECT_TRUE(text.contains(QStringLiteral("Veltro"))) << qPrintable(text.left(200));
    EXPECT_NE(title, QStringLiteral("unset"));

    int calls = 0;
    EXPECT_FALSE(ReadPdfPages(samplePdf(), [&](int, const QString&) { return ++calls < 1; }));
    EXPECT_EQ(calls, 1);

    QTemporaryDir folder;
    QFile notPdf(folder.filePath(QStringLiteral("page.pdf")));
    ASSERT_TRUE(notPdf.open(QIODevice::WriteOnly));
    notPdf.write("<html>no PDF</html>");
    notPdf.close();
    for (const QString& file : {notPdf.fileName(), folder.filePath(QStringLiteral("missing.pdf"))})
        EXPECT_FALSE(ReadPdfPages(file, [](int, const QString&) { return true; })) << qPrintable(file);
}
