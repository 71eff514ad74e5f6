#include "Manifest.h"

#include "BuildError.h"

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>
#include <QSet>
#include <algorithm>

namespace marvek::cdbuilder {

namespace {

QString requiredString(const QJsonObject& object, const char* key, const QString& where) {
    const QJsonValue value = object.value(QLatin1String(key));
    if (!value.isString()) {
        throw BuildError(QStringLiteral("%1: \"%2\" must be a text").arg(where, QLatin1String(key)));
    }
    return value.toString();
}

QStringList stringList(const QJsonValue& value, const QString& where) {
    QStringList list;
    for (const QJsonValue& item : value.toArray()) {
        if (!item.isString()) {
            throw BuildError(QStringLiteral("%1: list items must be texts").arg(where));
        }
        list.append(item.toString());
    }
    return list;
}

ManInfoFields manInfoFields(const QJsonObject& manInfo, const char* key, const QString& where) {
    const QStringList list = stringList(manInfo.value(QLatin1String(key)), where);
    if (list.size() != 3) {
        throw BuildError(QStringLiteral("%1: \"%2\" needs model, classification and manual type")
                             .arg(where, QLatin1String(key)));
    }
    for (const QString& field : list) {
        if (field.contains(QLatin1Char(',')) || field.contains(QLatin1Char('\n'))) {
            throw BuildError(
                QStringLiteral("%1: information fields cannot hold commas or line breaks").arg(where));
        }
    }
    return {list[0], list[1], list[2]};
}

ManualSpec readManual(const QJsonObject& object) {
    ManualSpec manual;
    manual.folder = requiredString(object, "folder", QStringLiteral("manual"));
    const QString where = QStringLiteral("manual %1").arg(manual.folder);
    if (!QRegularExpression(QStringLiteral("^[A-Za-z0-9_]+$")).match(manual.folder).hasMatch()) {
        throw BuildError(where + QStringLiteral(": folder names are letters, digits and _"));
    }
    const QString kind = requiredString(object, "kind", where);
    if (kind != QLatin1String("html") && kind != QLatin1String("pdf")) {
        throw BuildError(where + QStringLiteral(": kind is html or pdf"));
    }
    manual.kind = kind == QLatin1String("pdf") ? ManualSpec::Kind::Pdf : ManualSpec::Kind::Html;
    manual.title = requiredString(object, "title", where);
    manual.language = requiredString(object, "language", where);
    if (manual.language != QLatin1String("en") && manual.language != QLatin1String("ja")) {
        throw BuildError(where + QStringLiteral(": language is en or ja"));
    }
    manual.frames = object.value(QLatin1String("frames")).toString() == QLatin1String("nested")
                        ? ManualSpec::Frames::Nested
                        : ManualSpec::Frames::Simple;
    manual.archiveTop = object.value(QLatin1String("archiveTop")).toString(manual.folder);
    manual.sectionName = object.value(QLatin1String("sectionName")).toString(manual.sectionName);
    manual.pageName = object.value(QLatin1String("pageName")).toString(manual.pageName);
    manual.sections = stringList(object.value(QLatin1String("sections")), where);
    if (manual.sections.isEmpty()) {
        throw BuildError(where + QStringLiteral(": a manual needs sections"));
    }
    manual.pagesPerSection = object.value(QLatin1String("pagesPerSection")).toInt(0);
    if (manual.kind == ManualSpec::Kind::Html && manual.pagesPerSection < 1) {
        throw BuildError(where + QStringLiteral(": an HTML manual needs pagesPerSection"));
    }
    for (const QString& revised : stringList(object.value(QLatin1String("revisedPages")), where)) {
        const QStringList parts = revised.split(QLatin1Char('/'));
        const int section = parts.value(0).toInt();
        const int page = parts.value(1).toInt();
        if (parts.size() != 2 || section < 1 || section > manual.sections.size() || page < 1 ||
            page > manual.pagesPerSection) {
            throw BuildError(where +
                             QStringLiteral(": revised page %1 is not a page of the manual").arg(revised));
        }
        manual.revisedPages.emplace_back(section, page);
    }
    for (const QJsonValue& code : object.value(QLatin1String("troubleCodes")).toArray()) {
        manual.troubleCodes.push_back({requiredString(code.toObject(), "code", where),
                                       requiredString(code.toObject(), "title", where)});
    }

    const QJsonObject carInfo = object.value(QLatin1String("carInfo")).toObject();
    for (size_t i = 0; i < CarInfoKeys.size(); ++i) {
        manual.carInfo[i] = requiredString(carInfo, CarInfoKeys[i], where + QStringLiteral(" carInfo"));
    }
    const QString pubNo = manual.pubNo();
    if (pubNo.size() < 5 || !pubNo.at(4).isDigit()) {
        throw BuildError(where + QStringLiteral(": the fifth character of Pub_No is the revision digit"));
    }

    const QJsonObject manInfo = object.value(QLatin1String("manInfo")).toObject();
    manual.issued = requiredString(manInfo, "issued", where + QStringLiteral(" manInfo"));
    if (!QRegularExpression(QStringLiteral("^\\d{4}/(0[1-9]|1[0-2])$")).match(manual.issued).hasMatch()) {
        throw BuildError(where + QStringLiteral(": the issue month is written YYYY/MM"));
    }
    manual.manInfoDo = manInfoFields(manInfo, "do", where);
    manual.manInfoUs = manInfoFields(manInfo, "us", where);
    return manual;
}

} // namespace

bool ManualSpec::isRevised(int section, int page) const {
    return std::find(revisedPages.begin(), revisedPages.end(), std::make_pair(section, page)) !=
           revisedPages.end();
}

CdManifest readManifest(const QString& hostPath) {
    QFile file(hostPath);
    if (!file.open(QIODevice::ReadOnly)) {
        throw BuildError(QStringLiteral("cannot read %1: %2").arg(hostPath, file.errorString()));
    }
    QJsonParseError error;
    const QJsonDocument document = QJsonDocument::fromJson(file.readAll(), &error);
    if (document.isNull()) {
        throw BuildError(
            QStringLiteral("%1: %2 at offset %3").arg(hostPath, error.errorString()).arg(error.offset));
    }
    const QJsonObject root = document.object();

    CdManifest manifest;
    manifest.fileTime = QDateTime::fromString(root.value(QLatin1String("fileTime")).toString(), Qt::ISODate);
    if (!manifest.fileTime.isValid()) {
        throw BuildError(hostPath + QStringLiteral(": fileTime must be an ISO date and time"));
    }
    manifest.databaseVersion = requiredString(root, "databaseVersion", hostPath);
    for (const QJsonValue& value : root.value(QLatin1String("modelOrder")).toArray()) {
        const QJsonObject order = value.toObject();
        manifest.modelOrder.push_back({requiredString(order, "Model_ID", hostPath),
                                       requiredString(order, "Model_desc", hostPath),
                                       order.value(QLatin1String("OrderNo")).toInt()});
    }

    QSet<QString> folders;
    for (const QJsonValue& value : root.value(QLatin1String("manuals")).toArray()) {
        ManualSpec manual = readManual(value.toObject());
        if (folders.contains(manual.folder.toUpper())) {
            throw BuildError(QStringLiteral("manual folder %1 is listed twice").arg(manual.folder));
        }
        folders.insert(manual.folder.toUpper());
        manifest.manuals.push_back(std::move(manual));
    }
    if (manifest.manuals.empty()) {
        throw BuildError(hostPath + QStringLiteral(": no manuals"));
    }
    return manifest;
}

} // namespace marvek::cdbuilder
