#include "PdfDocument.h"

#include "BuildError.h"

#include <QBuffer>
#include <QFont>
#include <QPageLayout>
#include <QPageSize>
#include <QPainter>
#include <QPdfWriter>
#include <QRegularExpression>

namespace marvek::cdbuilder {

namespace {

constexpr int Resolution = 300; // dots per inch

class PageWriter {
public:
    PageWriter(QPdfWriter& writer, QPainter& painter, QString footer)
        : m_writer(writer), m_painter(painter), m_footer(std::move(footer)),
          m_area(writer.pageLayout().paintRectPixels(Resolution)) {
        m_area.moveTo(0, 0);
        m_body = m_area.adjusted(0, 0, 0, -footerHeight());
    }

    void titlePage(const QString& title, const QString& subtitle) {
        QFont font = m_painter.font();
        font.setPointSize(26);
        font.setBold(true);
        m_painter.setFont(font);
        const QRect titleRect(m_body.left(), m_body.top() + m_body.height() / 3, m_body.width(),
                              m_body.height() / 6);
        m_painter.drawText(titleRect, Qt::AlignCenter | Qt::TextWordWrap, title);
        font.setPointSize(14);
        font.setBold(false);
        m_painter.setFont(font);
        m_painter.drawText(titleRect.translated(0, titleRect.height()),
                           Qt::AlignHCenter | Qt::AlignTop | Qt::TextWordWrap, subtitle);
        finishPage();
    }

    void section(const PdfSection& section) {
        newPage();
        QFont font = m_painter.font();
        font.setPointSize(16);
        font.setBold(true);
        write(font, section.heading, 40);
        font.setPointSize(11);
        font.setBold(false);
        for (const QString& paragraph : section.paragraphs) {
            write(font, paragraph, 25);
        }
        finishPage();
    }

private:
    int footerHeight() const { return Resolution / 2; }

    void newPage() {
        if (m_pages > 0 && !m_writer.newPage()) {
            throw BuildError(QStringLiteral("PDF: cannot start a new page"));
        }
        m_y = m_body.top();
    }

    // Writes a word-wrapped block; runs on to a new page when it does not fit.
    void write(const QFont& font, const QString& text, int spaceAfter) {
        m_painter.setFont(font);
        const QRect needed = m_painter.boundingRect(QRect(m_body.left(), 0, m_body.width(), m_body.height()),
                                                    Qt::TextWordWrap, text);
        if (m_y + needed.height() > m_body.bottom() && m_y > m_body.top()) {
            finishPage();
            newPage();
            m_painter.setFont(font);
        }
        m_painter.drawText(QRect(m_body.left(), m_y, m_body.width(), needed.height()), Qt::TextWordWrap,
                           text);
        m_y += needed.height() + spaceAfter;
    }

    void finishPage() {
        ++m_pages;
        QFont font = m_painter.font();
        font.setPointSize(8);
        font.setBold(false);
        m_painter.setFont(font);
        const QRect footer(m_area.left(), m_area.bottom() - footerHeight() / 2, m_area.width(),
                           footerHeight() / 2);
        m_painter.drawLine(footer.topLeft(), footer.topRight());
        m_painter.drawText(footer, Qt::AlignLeft | Qt::AlignBottom, m_footer);
        m_painter.drawText(footer, Qt::AlignRight | Qt::AlignBottom, QString::number(m_pages));
    }

    QPdfWriter& m_writer;
    QPainter& m_painter;
    QString m_footer;
    QRect m_area;
    QRect m_body;
    int m_y = 0;
    int m_pages = 0;
};

} // namespace

QByteArray makePdf(const PdfContent& content, const QString& fixedDate) {
    QByteArray bytes;
    {
        QBuffer buffer(&bytes);
        buffer.open(QIODevice::WriteOnly);
        QPdfWriter writer(&buffer);
        writer.setResolution(Resolution);
        writer.setPageLayout(QPageLayout(QPageSize(QPageSize::A4), QPageLayout::Portrait,
                                         QMarginsF(20, 20, 20, 20), QPageLayout::Millimeter));
        writer.setTitle(content.title);
        writer.setCreator(QStringLiteral("Marvek service manual CD"));
        QPainter painter;
        if (!painter.begin(&writer)) {
            throw BuildError(QStringLiteral("PDF: cannot paint %1").arg(content.title));
        }
        PageWriter pages(writer, painter, content.footer);
        pages.titlePage(content.title, content.subtitle);
        for (const PdfSection& section : content.sections) {
            pages.section(section);
        }
        painter.end();
    }

    static const QRegularExpression creationDate(QStringLiteral("/CreationDate \\(D:(\\d{14})"));
    const QString latin = QString::fromLatin1(bytes);
    const QRegularExpressionMatch match = creationDate.match(latin);
    if (!bytes.startsWith("%PDF") || !match.hasMatch() || fixedDate.size() != 14) {
        throw BuildError(QStringLiteral("PDF: unexpected writer output for %1").arg(content.title));
    }
    bytes.replace(match.capturedStart(1), 14, fixedDate.toLatin1());
    return bytes;
}

} // namespace marvek::cdbuilder
