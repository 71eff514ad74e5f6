#include "TextTemplate.h"

#include "BuildError.h"

#include <QFile>

namespace marvek::cdbuilder {

QString renderTemplate(const QString& text, const TemplateValues& values, const QString& templateName) {
    QString out;
    out.reserve(text.size() * 2);
    qsizetype from = 0;
    while (true) {
        const qsizetype open = text.indexOf(QLatin1String("{{"), from);
        if (open < 0) {
            out += QStringView(text).mid(from);
            return out;
        }
        const qsizetype close = text.indexOf(QLatin1String("}}"), open + 2);
        if (close < 0) {
            throw BuildError(QStringLiteral("%1: unclosed {{ at offset %2").arg(templateName).arg(open));
        }
        const QString name = text.mid(open + 2, close - open - 2);
        const auto value = values.constFind(name);
        if (value == values.constEnd()) {
            throw BuildError(QStringLiteral("%1: no value for {{%2}}").arg(templateName, name));
        }
        out += QStringView(text).mid(from, open - from);
        out += *value;
        from = close + 2;
    }
}

TemplateSet::TemplateSet(QString folder) : m_folder(std::move(folder)) {
}

QString TemplateSet::render(const QString& fileName, const TemplateValues& values) const {
    auto found = m_loaded.constFind(fileName);
    if (found == m_loaded.constEnd()) {
        found = m_loaded.insert(fileName, readTextFile(m_folder + QLatin1Char('/') + fileName));
    }
    return renderTemplate(*found, values, fileName);
}

QString readTextFile(const QString& hostPath) {
    QFile file(hostPath);
    if (!file.open(QIODevice::ReadOnly)) {
        throw BuildError(QStringLiteral("cannot read %1: %2").arg(hostPath, file.errorString()));
    }
    return QString::fromUtf8(file.readAll());
}

} // namespace marvek::cdbuilder
