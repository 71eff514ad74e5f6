#pragma once

#include "Manifest.h"
#include "ManualPages.h"
#include "TextTemplate.h"

#include <QByteArray>
#include <QString>

namespace marvek::cdbuilder {

// Builds the complete sample CD tree:
//   <root>\index.html, install.html, codesearch.html, the user guides named by message M060
//   <root>\programs\setup\SysDir\...            parameters, messages, licences, RmDir.bat
//   <root>\programs\setup\man_info_do.ci, man_info_us.ci, the database template
//   <root>\<manual folder>\car_info.ci, and for an HTML manual install\condense\manual.zip,
//          install\compare\... (revised pages) and the manual itself for viewing from the CD;
//          for a PDF manual contents\<Pub_No>.pdf
// The output folder is emptied first; it must be new, empty, or a CD this builder made.
class CdBuilder {
public:
    CdBuilder(QString contentFolder, QString schemaFile, QString outputFolder);

    void build();

    // Name of the file that marks a folder as a complete sample CD (written last).
    static QString markerName() { return QStringLiteral(".sample-cd"); }

private:
    void prepareOutput() const;
    void copyStaticFiles() const;
    void buildHtmlManual(const ManualSpec& manual) const;
    void buildPdfManual(const ManualSpec& manual) const;
    void writeCarInfo(const ManualSpec& manual) const;
    void writeInformationFiles() const;
    void writeStartPages() const;
    void writeUserGuides() const;
    void writeDatabaseTemplate() const;

    const PageTexts& textsFor(const QString& language) const;
    QString sourceValue(const QString& file, const QString& key) const;
    QByteArray ansiText(const QString& text) const;
    void writeFile(const QString& relativePath, const QByteArray& data) const;
    void stampTime(const QString& hostPath) const;
    QString fixedPdfDate() const;

    QString m_content;
    QString m_schemaFile;
    QString m_output;
    CdManifest m_manifest;
    TemplateSet m_manualTemplates;
    TemplateSet m_rootTemplates;
    PageTexts m_textsEn;
    PageTexts m_textsJa;
};

} // namespace marvek::cdbuilder
