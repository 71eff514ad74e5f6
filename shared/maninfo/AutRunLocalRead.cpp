#include "shared/maninfo/AutRunLocalRead.h"

#include "platform/TextCodec.h"
#include "shared/config/Messages.h"
#include "shared/helpers/FileHelpers.h"

#include <QFile>
#include <QLocale>
#include <QRegularExpression>

namespace marvek::shared {

namespace {

constexpr int FieldCount = 6;

const QDate NoLocalDate(1900, 1, 1);

QString messageText(const SharedContext& ctx, int number) {
    return GetMessage(ctx, QLatin1String(MessageSection), number);
}

} // namespace

QDate ManInfoIssueDate(const QString& field) {
    // The month text with "/01" appended, read as a date: the year and month may carry blanks around
    // them, the month one or two digits.
    static const QRegularExpression yearMonth(QStringLiteral("^ *(\\d{1,4}) */ *(\\d{1,2}) *$"));
    const QRegularExpressionMatch match = yearMonth.match(field);
    if (!match.hasMatch())
        return {};
    const int year = match.captured(1).toInt();
    const int month = match.captured(2).toInt();
    if (year < 100) // two-digit years are not written by any CD; refuse rather than guess a century
        return {};
    return QDate(year, month, 1);
}

AutRunLocalRead::AutRunLocalRead(const SharedContext& ctx, QString cdRoot)
    : m_ctx(ctx), m_cdRoot(std::move(cdRoot)) {
}

QString AutRunLocalRead::localPath() const {
    return QLatin1String(ManInfoFolder) + QLatin1Char('\\') + QLatin1String(ManInfoFileName);
}

QString AutRunLocalRead::cdPath() const {
    return m_cdRoot + QLatin1String(ManInfoCdFolder) + QLatin1String(ManInfoFileName);
}

CheckLatestResult AutRunLocalRead::ManInfo_CheckLatest() {
    const platform::Files& files = m_ctx.os.files();
    const QString folder = QLatin1String(ManInfoFolder);
    if (!files.folderExists(folder) && !ManInfo_MakeFolder(folder)) {
        m_ctx.os.ui().messageBox(QLatin1String(ManInfoSystemError), platform::mb::OKOnly, m_ctx.ProgramTitle);
        return CheckLatestResult::EndProgram;
    }

    const QString local = localPath();
    const QString cd = cdPath();
    if (!files.fileExists(local)) {
        replaceLocalFile(cd, local);
        return CheckLatestResult::Latest;
    }

    m_newer = false;
    if (!ManInfo_Compare())
        return CheckLatestResult::NotLatest;
    if (m_newer)
        replaceLocalFile(cd, local);
    return CheckLatestResult::Latest;
}

int AutRunLocalRead::ManInfo_ShowNotLatest() {
    const QChar cr(13);
    QString text;
    for (const QString& line : m_notLatestLines) {
        QString shown = line;
        text += shown.replace(QLatin1Char('|'), cr);
    }
    text += cr + closingText1() + cr + closingText2();
    return m_ctx.os.ui().messageBox(text, ManInfoQuestionStyle, QLatin1String(ManInfoTitle));
}

bool AutRunLocalRead::ManInfo_MakeFolder(const QString& path) const {
    return m_ctx.os.files().createFolder(path);
}

bool AutRunLocalRead::ManInfo_Compare() {
    m_notLatestLines.clear();
    if (!ManInfo_ReadLocal(localPath()) || !ManInfo_ReadCd(cdPath()))
        return false;

    bool latest = true;
    for (size_t i = 0; i < m_cd.size(); ++i) {
        const ManInfoRecord& record = m_cd[i];
        if (record.onCd != QLatin1String("1"))
            continue;
        const QDate localDate = ManInfo_FindLocalDate(record.key);
        if (record.date < localDate) {
            latest = false;
            ManInfo_AddNotLatestLine(static_cast<int>(i) + 1);
        } else if (record.date > localDate) {
            m_newer = true;
        }
    }
    return latest;
}

bool AutRunLocalRead::ManInfo_ReadLocal(const QString& path) {
    return readFile(path, m_local);
}

bool AutRunLocalRead::ManInfo_ReadCd(const QString& path) {
    if (!readFile(path, m_cd))
        return false;
    for (ManInfoRecord& record : m_cd) {
        const bool present = !testsPresenceOnCd() || m_ctx.os.files().folderExists(m_cdRoot + record.key);
        record.onCd = present ? QStringLiteral("1") : QStringLiteral("0");
    }
    return true;
}

QDate AutRunLocalRead::ManInfo_FindLocalDate(const QString& key) const {
    for (const ManInfoRecord& record : m_local) {
        if (record.key == key)
            return record.date;
    }
    return NoLocalDate;
}

void AutRunLocalRead::ManInfo_AddNotLatestLine(int record) {
    const ManInfoRecord& cd = m_cd.at(static_cast<size_t>(record - 1));
    m_notLatestLines.append(notLatestLine(cd) + QLatin1Char('|'));
}

QString AutRunLocalRead::notLatestLine(const ManInfoRecord& record) const {
    // Abbreviated English month name and four-digit year ("Mar 2024").
    const QString date = QLocale::c().toString(record.date, QStringLiteral("MMM yyyy"));
    QString line = messageText(m_ctx, 72);
    line.replace(QLatin1String("@1"), record.model);
    line.replace(QLatin1String("@2"), record.classification);
    line.replace(QLatin1String("@3"), record.key);
    line.replace(QLatin1String("@4"), date);
    line.replace(QLatin1String("@5"), record.classification);
    return line;
}

QString AutRunLocalRead::closingText1() const {
    return messageText(m_ctx, 73);
}

QString AutRunLocalRead::closingText2() const {
    return messageText(m_ctx, 74);
}

void AutRunLocalRead::replaceLocalFile(const QString& source, const QString& target) {
    CopyFileWithAccess(m_ctx, source, target);
}

bool AutRunLocalRead::readFile(const QString& path, std::vector<ManInfoRecord>& records) const {
    records.clear();
    QFile file(m_ctx.os.machine().toHost(path));
    if (!m_ctx.os.files().fileExists(path) || !file.open(QIODevice::ReadOnly))
        return false;
    const QByteArray bytes = file.readAll();
    if (bytes.isEmpty())
        return true;
    QString text = platform::decodeCodePage(bytes, m_ctx.os.machineInfo().ansiCodePage());
    // Lines end in CR LF; a lone LF or CR ends a line as well. The end of the last line starts no record,
    // but an empty line is a broken record.
    text.replace(QStringLiteral("\r\n"), QStringLiteral("\n")).replace(QLatin1Char('\r'), QLatin1Char('\n'));
    if (text.endsWith(QLatin1Char('\n')))
        text.chop(1);
    for (const QString& line : text.split(QLatin1Char('\n'))) {
        const QStringList fields = line.split(QLatin1Char(','));
        if (fields.size() < FieldCount)
            return false;
        ManInfoRecord record;
        record.model = fields.at(0);
        record.classification = fields.at(1);
        record.key = fields.at(3);
        record.date = ManInfoIssueDate(fields.at(5));
        if (!record.date.isValid())
            return false;
        records.push_back(record);
    }
    return true;
}

} // namespace marvek::shared
