#pragma once

#include "Manifest.h"
#include "TextTemplate.h"

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <vector>

namespace marvek::cdbuilder {

// One file of a generated tree; path is relative and "/"-separated.
struct GeneratedFile {
    QString path;
    QByteArray data;
};
using FileList = std::vector<GeneratedFile>;

// The language-dependent texts of generated pages (templates/text_<language>.json).
struct PageTexts {
    TemplateValues labels;
    QStringList steps;
    std::vector<std::pair<QString, QString>> serviceData;

    static PageTexts read(const QString& hostPath);
};

// Generates the pages of one HTML manual from the templates: the frameset "index.html", the table of
// contents, and under "contents" the cover, the style sheet, every section page and the trouble-code
// pages. The same tree goes into manual.zip (under its top folder) and, for viewing from the CD,
// into the manual's CD folder.
class ManualPages {
public:
    ManualPages(const ManualSpec& manual, const TemplateSet& templates, const PageTexts& texts);

    // The whole manual, sorted by path.
    FileList build() const;
    // The revised pages, with paths relative to "contents" (the install\compare tree).
    FileList revisedPages() const;
    // Path of a trouble code's page relative to the manual folder.
    static QString troubleCodePath(const QString& code);

private:
    QString sectionFolder(int section) const;
    QString pageFile(int section, int page) const; // relative to contents
    QString pageTitle(int section, int page) const;
    QByteArray renderPage(int section, int page) const;
    TemplateValues commonValues() const;
    QString tocSections() const;
    QString steps(int seed, int count) const;

    const ManualSpec& m_manual;
    const TemplateSet& m_templates;
    const PageTexts& m_texts;
};

} // namespace marvek::cdbuilder
