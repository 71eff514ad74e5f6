#include "CdBuilder.h"

#include "BuildError.h"
#include "PdfDocument.h"
#include "TemplateDatabase.h"
#include "ZipWriter.h"
#include "platform/TextCodec.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>
#include <algorithm>

namespace marvek::cdbuilder {

namespace {

const QString SetupFolder = QStringLiteral("programs/setup");
const QString SysDirFolder = QStringLiteral("programs/setup/SysDir");

// Files read in the ANSI code page (the programs' .ini, .txt and .ci, and Windows' autorun.inf): written
// in CP932 with CR LF.
bool isAnsiText(const QString& path) {
    const QString suffix = QFileInfo(path).suffix().toLower();
    return suffix == QLatin1String("ini") || suffix == QLatin1String("inf") ||
           suffix == QLatin1String("txt") || suffix == QLatin1String("ci");
}

PdfContent readGuide(const QString& hostPath) {
    QFile file(hostPath);
    if (!file.open(QIODevice::ReadOnly)) {
        throw BuildError(QStringLiteral("cannot read %1").arg(hostPath));
    }
    const QJsonObject root = QJsonDocument::fromJson(file.readAll()).object();
    PdfContent content;
    content.title = root.value(QLatin1String("title")).toString();
    content.subtitle = root.value(QLatin1String("subtitle")).toString();
    content.footer = content.title;
    for (const QJsonValue& value : root.value(QLatin1String("sections")).toArray()) {
        PdfSection section;
        section.heading = value.toObject().value(QLatin1String("heading")).toString();
        for (const QJsonValue& paragraph : value.toObject().value(QLatin1String("paragraphs")).toArray()) {
            section.paragraphs.append(paragraph.toString());
        }
        content.sections.push_back(section);
    }
    if (content.title.isEmpty() || content.sections.empty()) {
        throw BuildError(hostPath + QStringLiteral(": a guide needs a title and sections"));
    }
    return content;
}

} // namespace

CdBuilder::CdBuilder(QString contentFolder, QString schemaFile, QString outputFolder)
    : m_content(QDir(contentFolder).absolutePath()), m_schemaFile(QDir(schemaFile).absolutePath()),
      m_output(QDir::cleanPath(QDir(outputFolder).absolutePath())),
      m_manifest(readManifest(m_content + QStringLiteral("/manuals.json"))),
      m_manualTemplates(m_content + QStringLiteral("/templates/manual")),
      m_rootTemplates(m_content + QStringLiteral("/templates/root")),
      m_textsEn(PageTexts::read(m_content + QStringLiteral("/templates/text_en.json"))),
      m_textsJa(PageTexts::read(m_content + QStringLiteral("/templates/text_ja.json"))) {
}

void CdBuilder::build() {
    prepareOutput();
    copyStaticFiles();
    for (const ManualSpec& manual : m_manifest.manuals) {
        writeCarInfo(manual);
        if (manual.kind == ManualSpec::Kind::Html) {
            buildHtmlManual(manual);
        } else {
            buildPdfManual(manual);
        }
    }
    writeInformationFiles();
    writeStartPages();
    writeUserGuides();
    writeDatabaseTemplate();
    writeFile(markerName(), QByteArrayLiteral("Sample service-manual CD, made by make_sample_cd.\n"));
}

void CdBuilder::prepareOutput() const {
    QDir output(m_output);
    if (output.exists()) {
        const bool empty =
            output.isEmpty(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden | QDir::System);
        if (!empty && !QFileInfo::exists(output.filePath(markerName()))) {
            throw BuildError(
                QStringLiteral("%1 is not empty and holds no sample CD; not removing it").arg(m_output));
        }
        if (!output.removeRecursively()) {
            throw BuildError(QStringLiteral("cannot empty %1").arg(m_output));
        }
    }
    if (!QDir().mkpath(m_output)) {
        throw BuildError(QStringLiteral("cannot create %1").arg(m_output));
    }
}

void CdBuilder::copyStaticFiles() const {
    const QString root = m_content + QStringLiteral("/root");
    QStringList files;
    QDirIterator it(root, QDir::Files | QDir::Hidden, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        files.append(QDir(root).relativeFilePath(it.next()));
    }
    std::sort(files.begin(), files.end());
    for (const QString& relative : files) {
        const QString source = root + QLatin1Char('/') + relative;
        QByteArray data;
        if (isAnsiText(relative)) {
            data = ansiText(readTextFile(source));
        } else {
            QFile file(source);
            if (!file.open(QIODevice::ReadOnly)) {
                throw BuildError(QStringLiteral("cannot read %1").arg(source));
            }
            data = file.readAll();
        }
        writeFile(relative, data);
        if (QFileInfo(source).isExecutable()) {
            QFile::setPermissions(m_output + QLatin1Char('/') + relative,
                                  QFile::permissions(m_output + QLatin1Char('/') + relative) |
                                      QFile::ExeOwner | QFile::ExeGroup | QFile::ExeOther);
        }
    }
}

void CdBuilder::writeCarInfo(const ManualSpec& manual) const {
    QString text = QStringLiteral("[CAR_INFO]\n");
    for (size_t i = 0; i < CarInfoKeys.size(); ++i) {
        text += QLatin1String(CarInfoKeys[i]) + QLatin1Char('=') + manual.carInfo[i] + QLatin1Char('\n');
    }
    writeFile(manual.folder + QStringLiteral("/car_info.ci"), ansiText(text));
}

void CdBuilder::buildHtmlManual(const ManualSpec& manual) const {
    const ManualPages pages(manual, m_manualTemplates, textsFor(manual.language));
    const FileList files = pages.build();

    // The manual itself, for viewing from the CD's start page.
    for (const GeneratedFile& file : files) {
        writeFile(manual.folder + QLatin1Char('/') + file.path, file.data);
    }
    // The archive the installer extracts; its top folder becomes the installed manual folder.
    const QString zipPath = manual.folder + QStringLiteral("/install/condense/manual.zip");
    QDir().mkpath(QFileInfo(m_output + QLatin1Char('/') + zipPath).path());
    const QString charset = manual.language == QLatin1String("ja") ? QStringLiteral("CP932") : QString();
    writeZip(m_output + QLatin1Char('/') + zipPath, manual.archiveTop, files, charset,
             m_manifest.fileTime.toSecsSinceEpoch());
    stampTime(m_output + QLatin1Char('/') + zipPath);
    // The changed files of this version, relative to the installed "contents" folder.
    QDir().mkpath(m_output + QLatin1Char('/') + manual.folder + QStringLiteral("/install/compare"));
    for (const GeneratedFile& file : pages.revisedPages()) {
        writeFile(manual.folder + QStringLiteral("/install/compare/") + file.path, file.data);
    }
}

void CdBuilder::buildPdfManual(const ManualSpec& manual) const {
    const PageTexts& texts = textsFor(manual.language);
    PdfContent content;
    content.title = manual.title;
    content.subtitle = QStringLiteral("%1  %2  Version %3  (%4)")
                           .arg(manual.pubNo(), manual.modelDesc(), manual.version(), manual.issued);
    content.footer = manual.pubNo() + QStringLiteral("  ") + manual.title;
    int seed = 0;
    for (const QString& heading : manual.sections) {
        PdfSection section{heading, {}};
        for (int paragraph = 0; paragraph < 6; ++paragraph) {
            QStringList sentences;
            for (int i = 0; i < 3; ++i) {
                sentences.append(texts.steps.at(seed++ % texts.steps.size()));
            }
            section.paragraphs.append(sentences.join(QLatin1Char(' ')));
        }
        const auto& [name, value] = texts.serviceData.at(seed % texts.serviceData.size());
        section.paragraphs.append(name + QStringLiteral(": ") + value);
        content.sections.push_back(section);
    }
    writeFile(manual.folder + QStringLiteral("/contents/") + manual.pubNo() + QStringLiteral(".pdf"),
              makePdf(content, fixedPdfDate()));
}

void CdBuilder::writeInformationFiles() const {
    // One line per manual: model, classification, manual type, folder, Pub_No, issue month.
    QString domestic;
    QString overseas;
    for (const ManualSpec& manual : m_manifest.manuals) {
        const auto line = [&manual](const ManInfoFields& fields) {
            return QStringList{fields[0], fields[1], fields[2], manual.folder, manual.pubNo(), manual.issued}
                       .join(QLatin1Char(',')) +
                   QLatin1Char('\n');
        };
        domestic += line(manual.manInfoDo);
        overseas += line(manual.manInfoUs);
    }
    writeFile(SetupFolder + QStringLiteral("/man_info_do.ci"), ansiText(domestic));
    writeFile(SetupFolder + QStringLiteral("/man_info_us.ci"), ansiText(overseas));
}

void CdBuilder::writeStartPages() const {
    QString manualRows;
    QString codeMap;
    QString codeRows;
    for (const ManualSpec& manual : m_manifest.manuals) {
        const bool pdf = manual.kind == ManualSpec::Kind::Pdf;
        const QString link =
            pdf ? manual.folder + QStringLiteral("/contents/") + manual.pubNo() + QStringLiteral(".pdf")
                : manual.folder + QStringLiteral("/index.html");
        manualRows +=
            QStringLiteral("<tr><td>%1</td><td><a href=\"%2\">%3</a> <span class=\"kind\">%4</span></td>"
                           "<td>%5</td><td>%6</td><td>%7</td></tr>\n")
                .arg(manual.modelDesc().toHtmlEscaped(), link, manual.title.toHtmlEscaped(),
                     pdf ? QStringLiteral("PDF") : QStringLiteral("HTML"), manual.pubNo().toHtmlEscaped(),
                     manual.version().toHtmlEscaped(), manual.issued);
        for (const TroubleCode& code : manual.troubleCodes) {
            if (!codeMap.isEmpty()) {
                codeMap += QStringLiteral(",\n");
            }
            codeMap += QStringLiteral("    \"%1\": \"%2/%3\"")
                           .arg(code.code.toUpper(), manual.folder, ManualPages::troubleCodePath(code.code));
            codeRows +=
                QStringLiteral("<tr><td><a href=\"#%1\" onclick=\"openCode('%1'); return false;\">%1</a></td>"
                               "<td>%2</td></tr>\n")
                    .arg(code.code.toHtmlEscaped(), code.title.toHtmlEscaped());
        }
    }
    writeFile(
        QStringLiteral("index.html"),
        m_rootTemplates.render(QStringLiteral("index.html"), {{QStringLiteral("manualRows"), manualRows}})
            .toUtf8());
    writeFile(QStringLiteral("codesearch.html"),
              m_rootTemplates
                  .render(QStringLiteral("codesearch.html"),
                          {{QStringLiteral("codeMap"), codeMap}, {QStringLiteral("codeRows"), codeRows}})
                  .toUtf8());
}

void CdBuilder::writeUserGuides() const {
    // The file name of the user guide is message M060 of each language's message file.
    const struct {
        const char* messages;
        const char* guide;
    } languages[] = {{"M09.ini", "guide_en.json"}, {"M11.ini", "guide_ja.json"}};
    for (const auto& language : languages) {
        const QString name = sourceValue(SysDirFolder + QLatin1Char('/') + QLatin1String(language.messages),
                                         QStringLiteral("M060"));
        if (name.isEmpty() || name.contains(QLatin1Char('/')) || name.contains(QLatin1Char('\\'))) {
            throw BuildError(QStringLiteral("%1: M060 must name the user guide file")
                                 .arg(QLatin1String(language.messages)));
        }
        const PdfContent guide =
            readGuide(m_content + QStringLiteral("/templates/") + QLatin1String(language.guide));
        writeFile(name, makePdf(guide, fixedPdfDate()));
    }
}

void CdBuilder::writeDatabaseTemplate() const {
    const QString name =
        sourceValue(SysDirFolder + QStringLiteral("/SysParameter.ini"), QStringLiteral("DTX3_NEW_MDB_NAME"));
    if (name.isEmpty()) {
        throw BuildError(QStringLiteral("SysParameter.ini names no database template (DTX3_NEW_MDB_NAME)"));
    }
    const QString path = m_output + QLatin1Char('/') + SetupFolder + QLatin1Char('/') + name;
    writeTemplateDatabase(path, readTextFile(m_schemaFile), m_manifest);
    stampTime(path);
}

const PageTexts& CdBuilder::textsFor(const QString& language) const {
    return language == QLatin1String("ja") ? m_textsJa : m_textsEn;
}

// A value of one of the CD's own INI sources ("key=value" lines; quotes around the value dropped).
QString CdBuilder::sourceValue(const QString& file, const QString& key) const {
    const QStringList lines =
        readTextFile(m_content + QStringLiteral("/root/") + file).split(QLatin1Char('\n'));
    for (const QString& line : lines) {
        const qsizetype equals = line.indexOf(QLatin1Char('='));
        if (equals > 0 && line.left(equals).trimmed().compare(key, Qt::CaseInsensitive) == 0) {
            QString value = line.mid(equals + 1).trimmed();
            if (value.size() >= 2 && value.startsWith(QLatin1Char('"')) && value.endsWith(QLatin1Char('"'))) {
                value = value.mid(1, value.size() - 2);
            }
            return value;
        }
    }
    return {};
}

QByteArray CdBuilder::ansiText(const QString& text) const {
    QString crlf = text;
    crlf.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    crlf.replace(QStringLiteral("\n"), QStringLiteral("\r\n"));
    const QByteArray bytes = platform::encodeCodePage(crlf, platform::CodePageShiftJis);
    if (platform::decodeCodePage(bytes, platform::CodePageShiftJis) != crlf) {
        throw BuildError(
            QStringLiteral("text has characters that code page 932 cannot hold: %1").arg(text.left(60)));
    }
    return bytes;
}

void CdBuilder::writeFile(const QString& relativePath, const QByteArray& data) const {
    const QString hostPath = m_output + QLatin1Char('/') + relativePath;
    if (!QDir().mkpath(QFileInfo(hostPath).path())) {
        throw BuildError(QStringLiteral("cannot create the folder of %1").arg(hostPath));
    }
    QFile file(hostPath);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) || file.write(data) != data.size()) {
        throw BuildError(QStringLiteral("cannot write %1: %2").arg(hostPath, file.errorString()));
    }
    file.close();
    stampTime(hostPath);
}

// Every file of the CD carries the same time, so the tree does not depend on when it was built.
void CdBuilder::stampTime(const QString& hostPath) const {
    QFile file(hostPath);
    if (!file.open(QIODevice::ReadWrite) ||
        !file.setFileTime(m_manifest.fileTime, QFileDevice::FileModificationTime)) {
        throw BuildError(QStringLiteral("cannot set the time of %1").arg(hostPath));
    }
}

QString CdBuilder::fixedPdfDate() const {
    return m_manifest.fileTime.toUTC().toString(QStringLiteral("yyyyMMddHHmmss"));
}

} // namespace marvek::cdbuilder
