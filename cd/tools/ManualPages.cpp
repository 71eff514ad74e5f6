#include "ManualPages.h"

#include "BuildError.h"

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <algorithm>

namespace marvek::cdbuilder {

namespace {

QString escaped(const QString& text) {
    return text.toHtmlEscaped();
}

} // namespace

PageTexts PageTexts::read(const QString& hostPath) {
    QFile file(hostPath);
    if (!file.open(QIODevice::ReadOnly)) {
        throw BuildError(QStringLiteral("cannot read %1: %2").arg(hostPath, file.errorString()));
    }
    const QJsonObject root = QJsonDocument::fromJson(file.readAll()).object();
    PageTexts texts;
    const QJsonObject labels = root.value(QLatin1String("labels")).toObject();
    for (auto it = labels.begin(); it != labels.end(); ++it) {
        texts.labels.insert(it.key(), it.value().toString());
    }
    for (const QJsonValue& step : root.value(QLatin1String("steps")).toArray()) {
        texts.steps.append(step.toString());
    }
    for (const QJsonValue& row : root.value(QLatin1String("serviceData")).toArray()) {
        const QJsonArray pair = row.toArray();
        texts.serviceData.emplace_back(pair.at(0).toString(), pair.at(1).toString());
    }
    if (texts.steps.isEmpty() || texts.serviceData.empty()) {
        throw BuildError(hostPath + QStringLiteral(": steps and serviceData must not be empty"));
    }
    return texts;
}

ManualPages::ManualPages(const ManualSpec& manual, const TemplateSet& templates, const PageTexts& texts)
    : m_manual(manual), m_templates(templates), m_texts(texts) {
}

QString ManualPages::troubleCodePath(const QString& code) {
    return QStringLiteral("contents/dtc/%1.html").arg(code);
}

QString ManualPages::sectionFolder(int section) const {
    return m_manual.sectionName.arg(section, 2, 10, QLatin1Char('0'));
}

QString ManualPages::pageFile(int section, int page) const {
    return sectionFolder(section) + QLatin1Char('/') + m_manual.pageName.arg(page, 3, 10, QLatin1Char('0')) +
           QStringLiteral(".html");
}

QString ManualPages::pageTitle(int section, int page) const {
    return m_texts.labels.value(QStringLiteral("pageTitle")).arg(m_manual.sections.at(section - 1)).arg(page);
}

TemplateValues ManualPages::commonValues() const {
    TemplateValues values;
    for (auto it = m_texts.labels.constBegin(); it != m_texts.labels.constEnd(); ++it) {
        values.insert(it.key(), escaped(it.value()));
    }
    values.insert(QStringLiteral("lang"), m_manual.language);
    values.insert(QStringLiteral("title"), escaped(m_manual.title));
    values.insert(QStringLiteral("pubNo"), escaped(m_manual.pubNo()));
    return values;
}

QString ManualPages::steps(int seed, int count) const {
    QString html;
    for (int i = 0; i < count; ++i) {
        html +=
            QStringLiteral("<li>%1</li>\n").arg(escaped(m_texts.steps.at((seed + i) % m_texts.steps.size())));
    }
    return html;
}

QByteArray ManualPages::renderPage(int section, int page) const {
    const int sectionCount = static_cast<int>(m_manual.sections.size());
    const int last = m_manual.pagesPerSection;
    const int index = (section - 1) * last + (page - 1); // running page number from 0
    const QString cover = QStringLiteral("../cover.html");
    QString prev = cover;
    if (page > 1) {
        prev = QStringLiteral("../") + pageFile(section, page - 1);
    } else if (section > 1) {
        prev = QStringLiteral("../") + pageFile(section - 1, last);
    }
    QString next = cover;
    if (page < last) {
        next = QStringLiteral("../") + pageFile(section, page + 1);
    } else if (section < sectionCount) {
        next = QStringLiteral("../") + pageFile(section + 1, 1);
    }

    TemplateValues values = commonValues();
    values.insert(QStringLiteral("pageTitle"), escaped(pageTitle(section, page)));
    values.insert(QStringLiteral("sectionTitle"), escaped(m_manual.sections.at(section - 1)));
    values.insert(QStringLiteral("prev"), prev);
    values.insert(QStringLiteral("next"), next);
    values.insert(QStringLiteral("pageNo"), QStringLiteral("%1-%2").arg(section).arg(page));
    values.insert(QStringLiteral("steps"), steps(index * 3, 4 + index % 3));
    QString serviceDataRows;
    for (int i = 0; i < 2; ++i) {
        const auto& [name, value] = m_texts.serviceData.at((index + i) % m_texts.serviceData.size());
        serviceDataRows +=
            QStringLiteral("<tr><th>%1</th><td>%2</td></tr>\n").arg(escaped(name), escaped(value));
    }
    values.insert(QStringLiteral("serviceDataRows"), serviceDataRows);
    values.insert(
        QStringLiteral("revised"),
        m_manual.isRevised(section, page)
            ? QStringLiteral("<p class=\"revised\">%1</p>")
                  .arg(escaped(m_texts.labels.value(QStringLiteral("revised")).arg(m_manual.version())))
            : QString());
    return m_templates.render(QStringLiteral("page.html"), values).toUtf8();
}

QString ManualPages::tocSections() const {
    QString html;
    for (int section = 1; section <= m_manual.sections.size(); ++section) {
        html += QStringLiteral("<h2>%1</h2>\n<ul>\n").arg(escaped(m_manual.sections.at(section - 1)));
        for (int page = 1; page <= m_manual.pagesPerSection; ++page) {
            html += QStringLiteral("<li><a href=\"contents/%1\" target=\"mainFrame\">%2</a></li>\n")
                        .arg(pageFile(section, page), escaped(pageTitle(section, page)));
        }
        html += QStringLiteral("</ul>\n");
    }
    if (!m_manual.troubleCodes.empty()) {
        html += QStringLiteral("<h2>%1</h2>\n<ul>\n<li><a href=\"contents/dtc/index.html\" "
                               "target=\"mainFrame\">%2</a></li>\n</ul>\n")
                    .arg(escaped(m_texts.labels.value(QStringLiteral("labelTroubleCodes"))),
                         escaped(m_texts.labels.value(QStringLiteral("labelCodeList"))));
    }
    return html;
}

FileList ManualPages::build() const {
    FileList files;
    const TemplateValues common = commonValues();

    const QString frameset = m_manual.frames == ManualSpec::Frames::Nested
                                 ? QStringLiteral("frameset_nested.html")
                                 : QStringLiteral("frameset.html");
    files.push_back({QStringLiteral("index.html"), m_templates.render(frameset, common).toUtf8()});
    if (m_manual.frames == ManualSpec::Frames::Nested) {
        files.push_back(
            {QStringLiteral("head.html"), m_templates.render(QStringLiteral("head.html"), common).toUtf8()});
    }
    TemplateValues toc = common;
    toc.insert(QStringLiteral("tocSections"), tocSections());
    files.push_back(
        {QStringLiteral("toc.html"), m_templates.render(QStringLiteral("toc.html"), toc).toUtf8()});

    TemplateValues cover = common;
    cover.insert(QStringLiteral("model"), escaped(m_manual.modelDesc()));
    cover.insert(QStringLiteral("version"), escaped(m_manual.version()));
    cover.insert(QStringLiteral("issued"), escaped(m_manual.issued));
    cover.insert(QStringLiteral("firstPage"), pageFile(1, 1));
    files.push_back({QStringLiteral("contents/cover.html"),
                     m_templates.render(QStringLiteral("cover.html"), cover).toUtf8()});
    files.push_back(
        {QStringLiteral("contents/style.css"), m_templates.render(QStringLiteral("style.css"), {}).toUtf8()});

    for (int section = 1; section <= m_manual.sections.size(); ++section) {
        for (int page = 1; page <= m_manual.pagesPerSection; ++page) {
            files.push_back(
                {QStringLiteral("contents/") + pageFile(section, page), renderPage(section, page)});
        }
    }

    if (!m_manual.troubleCodes.empty()) {
        QString codeRows;
        int seed = 0;
        for (const TroubleCode& code : m_manual.troubleCodes) {
            TemplateValues values = common;
            values.insert(QStringLiteral("code"), escaped(code.code));
            values.insert(QStringLiteral("codeTitle"), escaped(code.title));
            values.insert(QStringLiteral("steps"), steps(seed, 5));
            seed += 5;
            files.push_back({troubleCodePath(code.code),
                             m_templates.render(QStringLiteral("dtc.html"), values).toUtf8()});
            codeRows += QStringLiteral("<tr><td><a href=\"%1.html\">%1</a></td><td>%2</td></tr>\n")
                            .arg(escaped(code.code), escaped(code.title));
        }
        TemplateValues index = common;
        index.insert(QStringLiteral("codeRows"), codeRows);
        files.push_back({QStringLiteral("contents/dtc/index.html"),
                         m_templates.render(QStringLiteral("dtc_index.html"), index).toUtf8()});
    }

    std::sort(files.begin(), files.end(),
              [](const GeneratedFile& a, const GeneratedFile& b) { return a.path < b.path; });
    return files;
}

FileList ManualPages::revisedPages() const {
    FileList files;
    for (const auto& [section, page] : m_manual.revisedPages) {
        files.push_back({pageFile(section, page), renderPage(section, page)});
    }
    std::sort(files.begin(), files.end(),
              [](const GeneratedFile& a, const GeneratedFile& b) { return a.path < b.path; });
    return files;
}

} // namespace marvek::cdbuilder
