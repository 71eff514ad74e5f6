#include "setup/engine/Survey.h"

#include "setup/engine/CopyTree.h"
#include "setup/engine/FolderListing.h"
#include "shared/catalogue/CarInfo.h"
#include "shared/config/Messages.h"
#include "shared/formdata/PdfPaths.h"

#include <algorithm>

namespace marvek::setup {

namespace {

const QString MessageSection = QStringLiteral("MESSAGE");

// A version text read as a decimal number: blanks around it, an optional sign, digits and an optional
// fraction ("2.10"), kept as digit texts so that numbers of any length compare exactly.
struct DecimalNumber {
    bool negative = false;
    QString whole;    // no leading zeros
    QString fraction; // no trailing zeros
};

std::optional<DecimalNumber> readDecimal(const QString& text) {
    QStringView rest = QStringView(text).trimmed();
    DecimalNumber number;
    if (rest.startsWith(u'+') || rest.startsWith(u'-')) {
        number.negative = rest.front() == u'-';
        rest = rest.mid(1);
    }
    const qsizetype point = rest.indexOf(u'.');
    const QStringView whole = point < 0 ? rest : rest.left(point);
    const QStringView fraction = point < 0 ? QStringView() : rest.mid(point + 1);
    const auto digitsOnly = [](QStringView digits) {
        return !digits.isEmpty() &&
               std::all_of(digits.begin(), digits.end(), [](QChar c) { return c >= u'0' && c <= u'9'; });
    };
    if (!digitsOnly(whole) || (point >= 0 && !digitsOnly(fraction)))
        return std::nullopt;
    number.whole = whole.toString();
    while (number.whole.startsWith(u'0'))
        number.whole.remove(0, 1);
    number.fraction = fraction.toString();
    while (number.fraction.endsWith(u'0'))
        number.fraction.chop(1);
    if (number.whole.isEmpty() && number.fraction.isEmpty())
        number.negative = false; // -0 is 0
    return number;
}

// -1, 0 or 1 as a is below, equal to or above b.
int compareDecimal(const DecimalNumber& a, const DecimalNumber& b) {
    if (a.negative != b.negative)
        return a.negative ? -1 : 1;
    int magnitude = 0;
    if (a.whole.size() != b.whole.size())
        magnitude = a.whole.size() < b.whole.size() ? -1 : 1;
    else if (const int whole = a.whole.compare(b.whole); whole != 0)
        magnitude = whole < 0 ? -1 : 1;
    else if (const int fraction = a.fraction.compare(b.fraction); fraction != 0)
        magnitude = fraction < 0 ? -1 : 1; // digit texts without trailing zeros order as fractions
    return a.negative ? -magnitude : magnitude;
}

} // namespace

std::optional<qint16> SurveyNumber(const QString& text) {
    // Only a sign and decimal digits (Qt's conversion would stop at an embedded NUL and accept the rest).
    const QString trimmed = text.trimmed();
    const qsizetype digitsFrom = trimmed.startsWith(u'+') || trimmed.startsWith(u'-') ? 1 : 0;
    if (trimmed.size() == digitsFrom)
        return std::nullopt;
    for (qsizetype i = digitsFrom; i < trimmed.size(); ++i) {
        if (trimmed.at(i) < u'0' || trimmed.at(i) > u'9')
            return std::nullopt;
    }
    bool ok = false;
    const int value = trimmed.toInt(&ok, 10);
    if (!ok || value < -32768 || value > 32767)
        return std::nullopt;
    return static_cast<qint16>(value);
}

VersionStep CompareVersions(const QString& cdVersion, const QString& installedVersion) {
    const std::optional<qint16> cd = SurveyNumber(cdVersion);
    const std::optional<qint16> installed = SurveyNumber(installedVersion);
    if (cd && installed) {
        const int diff = *cd - *installed;
        if (diff <= 0)
            return VersionStep::NotNewer;
        return diff == 1 ? VersionStep::OneAhead : VersionStep::FarAhead;
    }
    // Other numbers ("2.1", beyond 16 bits) compare by value; only a newer one brings the CD's copy,
    // and in full.
    const std::optional<DecimalNumber> cdNumber = readDecimal(cdVersion);
    const std::optional<DecimalNumber> installedNumber = readDecimal(installedVersion);
    if (cdNumber && installedNumber)
        return compareDecimal(*cdNumber, *installedNumber) > 0 ? VersionStep::FarAhead
                                                               : VersionStep::NotNewer;
    // A version that is no number can only be compared as text: the same text is the same version,
    // anything else brings the CD's copy in full.
    return cdVersion.trimmed() == installedVersion.trimmed() ? VersionStep::NotNewer : VersionStep::FarAhead;
}

bool InstalledCopyIntact(const SetupContext& ctx, const QString& cdPdfFlag) {
    const platform::Files& files = ctx.os().files();
    const shared::ManualRecord& installed = ctx.db.CurrentManual;
    if (!files.folderExists(installed.InsPath))
        return false;
    if (cdPdfFlag == QLatin1String("1"))
        return shared::PdfExists(ctx.shared, installed.InsPath, installed.Pub_No);
    return files.folderExists(installed.InsPath + QStringLiteral("\\contents")) &&
           files.fileExists(installed.InsPath + QStringLiteral("\\index.html"));
}

bool NewerRevisionInstalled(SetupContext& ctx, int index) {
    const QString& pubNo = ctx.ManualTable.entry(index).Pub_No;
    if (pubNo.size() < 5 || !pubNo.at(4).isDigit() || pubNo.at(4).unicode() > '9')
        return false;
    const QString prefix = pubNo.left(4);
    const QString suffix = pubNo.mid(5);
    for (int r = pubNo.at(4).digitValue() + 1; r <= 9; ++r) {
        if (ctx.db.FindInstalledManual(prefix + QString::number(r) + suffix) == 0)
            return true;
    }
    return false;
}

bool SurveyManuals(SetupContext& ctx) {
    QStringList folders;
    const platform::Files& files = ctx.os().files();
    for (const QString& name : ListSubfolders(ctx.shared, ctx.shared.SourceRoot)) {
        if (files.fileExists(ctx.shared.SourceRoot + name + QLatin1Char('\\') +
                             QLatin1String(shared::CarInfoFileName)))
            folders.append(name);
    }
    for (const QString& folder : folders) {
        if (!SurveyManual(ctx, folder))
            return false;
    }
    return true;
}

bool SurveyManual(SetupContext& ctx, const QString& folder) {
    shared::ManualEntry& entry = ctx.ManualTable.append();
    const int index = ctx.ManualTable.count();
    entry.Selected = QStringLiteral("1");
    shared::ReadCarInfo(ctx.shared, folder, entry);
    entry.OrderNo = ctx.db.FindOrderNo(entry.Model_ID);
    if (!shared::ValidateCatalogueEntry(entry, ctx.shared.systemParameters, ctx.ErrorLine1, ctx.ErrorLine2))
        return false;

    const qint16 found = ctx.db.FindInstalledManual(entry.Pub_No);
    if (found == -1) {
        ctx.ErrorLine1 = shared::GetMessage(ctx.shared, MessageSection, 20);
        ctx.ErrorLine2 = shared::GetMessage(ctx.shared, MessageSection, 24);
        return false;
    }
    const bool installed = found == 0;

    const QString cdFolder = ctx.shared.SourceRoot + folder;
    if (ctx.os().files().fileExists(shared::PdfPath(cdFolder, entry.Pub_No))) {
        entry.SourcePath = cdFolder;
        entry.PdfFlag = QStringLiteral("1");
    } else {
        entry.SourcePath = cdFolder + QStringLiteral("\\install\\condense\\manual.zip");
        entry.ComparePath = cdFolder + QStringLiteral("\\install\\compare");
        entry.PdfFlag = QStringLiteral("0");
    }
    entry.Done = QStringLiteral("0");
    entry.Selected = QStringLiteral("1");
    entry.Status = QStringLiteral("3");
    entry.InstallKind.clear();

    bool unchanged = false;
    if (!installed) {
        entry.InstallKind = QStringLiteral("1");
        entry.Status = QStringLiteral("1");
    } else {
        const shared::ManualRecord& record = ctx.db.CurrentManual;
        const bool adjust = SurveyNumber(record.Adjust_flg) == 1;
        if (InstalledCopyIntact(ctx, entry.PdfFlag) && !adjust) {
            switch (CompareVersions(entry.Version, record.Version)) {
            case VersionStep::NotNewer:
                entry.Selected = QStringLiteral("0");
                unchanged = true;
                break;
            case VersionStep::OneAhead:
                entry.InstallKind = QStringLiteral("1");
                if (entry.PdfFlag != QLatin1String("1") && record.Pdf_flg == entry.PdfFlag &&
                    CopyTree(ctx.shared, CopyModeCount, 0, entry.ComparePath, QString(), nullptr) > 0)
                    entry.InstallKind = QStringLiteral("2");
                entry.Status = QStringLiteral("2");
                break;
            case VersionStep::FarAhead:
                entry.InstallKind = QStringLiteral("1");
                entry.Status = QStringLiteral("2");
                break;
            }
        } else {
            entry.InstallKind = QStringLiteral("1");
            entry.Status = QStringLiteral("2");
        }
    }
    if (!unchanged) {
        entry.InstallPath = installed ? ctx.db.CurrentManual.InsPath : QString();
        entry.Folder = folder;
    }
    if (NewerRevisionInstalled(ctx, index)) {
        entry.Selected = QStringLiteral("9");
        entry.Status = QStringLiteral("3");
    }
    return true;
}

} // namespace marvek::setup
