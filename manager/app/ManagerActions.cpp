#include "manager/app/ManagerActions.h"

#include "manager/app/ManagerStart.h"
#include "platform/Shell.h"
#include "shared/config/IniFiles.h"
#include "shared/config/Messages.h"
#include "shared/formdata/PdfPaths.h"
#include "shared/helpers/FileHelpers.h"
#include "shared/helpers/ShellHelpers.h"

#include <QSettings>
#include <algorithm>
#include <array>

namespace marvek::manager {

namespace {

QString message(const ManagerContext& ctx, int number) {
    return shared::GetMessage(ctx.shared, QStringLiteral("MESSAGE"), number);
}

void box(ManagerContext& ctx, const QString& text, const QString& title) {
    ctx.os().ui().messageBox(text, platform::mb::Exclamation, title);
}

} // namespace

ManagerTexts LoadManagerTexts(ManagerContext& ctx) {
    const shared::MessageFile file(ctx.shared);
    const auto catalogue = [&file](int number) {
        return file.message(QLatin1String(shared::MessageSection), number);
    };
    ManagerTexts texts;
    texts.Caption = catalogue(43);
    ctx.shared.AppTitle = texts.Caption;
    texts.L_MainTitle = catalogue(45);
    texts.L_MemoTitle = catalogue(46);
    texts.B_MemoUpdate = catalogue(47);
    texts.B_Display = catalogue(39);
    texts.B_Delete = catalogue(40);
    texts.B_CheckUpdate = catalogue(41);
    texts.B_End = catalogue(42);
    texts.headers = {QStringLiteral("PubNo"), QStringLiteral("InsPath"),
                     catalogue(35),           catalogue(37),
                     catalogue(38),           catalogue(68),
                     catalogue(69),           QStringLiteral("Pdf_flg")};
    texts.FilterHint = file.read(QLatin1String(shared::SuiteTextSection), QStringLiteral("FilterHint"));
    return texts;
}

ManagerList LoadManagerList(ManagerContext& ctx) {
    ManagerRows rows;
    bool fits = true;
    shared::ManagerListReading reading;
    // Room for every row at once: the list is read into fresh memory, and each regrowth would copy it.
    reading.expect = [&rows](size_t count) {
        rows.reserve(count);
    };
    reading.row = [&](const shared::ManagerListRow& row) {
        // Column 6 shows the publication number again.
        const ManagerRows::Fields fields = {
            row[shared::ListPubNo],       row[shared::ListInsPath],  row[shared::ListModelDesc],
            row[shared::ListYearOrClass], row[shared::ListLanguage], row[shared::ListPubNo],
            row[shared::ListVersion],     row[shared::ListPdfFlag],  row[shared::ListAdjustFlag]};
        fits = fits && rows.append(fields);
    };
    std::vector<quint32> order;
    if (!shared::ReadManagerListRows(ctx.db.Database, ctx.shared.LanguageCode == QLatin1String("11"), reading,
                                     order) ||
        !fits || !rows.setOrder(std::move(order)))
        return std::nullopt;
    return rows;
}

QString SelectManual(ManagerContext& ctx, const QString& pubNo, const QString& insPath) {
    ctx.SelectedPubNo = pubNo;
    ctx.SelectedInsPath = insPath;
    return ctx.db.GetManualMemo(pubNo);
}

DisplayResult DisplayManual(ManagerContext& ctx, const QString& pubNo, const QString& insPath,
                            const QString& pdfFlag) {
    const bool pdf = pdfFlag == QLatin1String("1");
    const QString page = pdf ? shared::PdfPath(insPath, pubNo) : insPath + QStringLiteral("\\index.html");
    const platform::Files& files = ctx.os().files();
    if (files.fileExists(page)) {
        if (pdf) {
            if (platform::shellOpen(ctx.os().machine(), page) >= 32)
                return DisplayResult::Opened;
            box(ctx, message(ctx, 80), ctx.shared.AppTitle);
            return DisplayResult::OpenFailed;
        }
        if (files.fileExists(ctx.ViewerExePath))
            ctx.os().processes().startDetached(ctx.ViewerExePath + QLatin1Char(' ') + page,
                                               platform::WindowMode::Normal);
        else
            shared::FindOrOpenBrowserWindow(ctx.shared, page);
        return DisplayResult::Opened;
    }

    box(ctx, message(ctx, pdf ? 81 : 50), ctx.shared.AppTitle);
    if (!shared::IsWritable(ctx.shared, ctx.DatabasePath)) {
        box(ctx, message(ctx, 67), QLatin1String(ManagerTitle));
        return DisplayResult::Missing;
    }
    return ctx.db.MarkManualForAdjust(pubNo) ? DisplayResult::MissingMarked : DisplayResult::Missing;
}

bool DatabaseWritableOrSay(ManagerContext& ctx) {
    if (shared::IsWritable(ctx.shared, ctx.DatabasePath))
        return true;
    box(ctx, message(ctx, 67), QLatin1String(ManagerTitle));
    return false;
}

bool ConfirmDelete(ManagerContext& ctx) {
    if (!DatabaseWritableOrSay(ctx))
        return false;
    return ctx.os().ui().messageBox(message(ctx, 51), platform::mb::YesNo | platform::mb::Information,
                                    ctx.shared.AppTitle) == platform::mb::IdYes;
}

QString SaveMemo(ManagerContext& ctx, const QString& memoText) {
    QString shown = memoText;
    QString trimmed = shared::TrimBlanks(memoText);
    if (trimmed.size() > MemoMaxLength) {
        qsizetype length = MemoMaxLength;
        if (trimmed.at(length - 1).isHighSurrogate())
            --length;
        shown = trimmed.left(length);
    }
    const QString stored = shared::TrimBlanks(shown);
    if (!ctx.db.UpdateManualMemo(ctx.SelectedPubNo, stored) &&
        !shared::IsWritable(ctx.shared, ctx.DatabasePath))
        box(ctx, message(ctx, 67), QLatin1String(ManagerTitle));
    return shown;
}

bool RowMatchesFilter(const QString& model, const QString& pubNo, const QString& memo,
                      const QString& filter) {
    const QString text = filter.trimmed();
    if (text.isEmpty())
        return true;
    return model.contains(text, Qt::CaseInsensitive) || pubNo.contains(text, Qt::CaseInsensitive) ||
           memo.contains(text, Qt::CaseInsensitive);
}

void SortManagerRows(const ManagerRows& list, std::vector<size_t>& rows, int column, bool descending) {
    if (column < 0 || column >= ManagerColumns)
        return;
    std::vector<QString> keys(list.size());
    for (const size_t row : rows)
        keys[row] = list.text(row, column);
    std::stable_sort(rows.begin(), rows.end(), [&keys, descending](size_t a, size_t b) {
        const int order = QString::localeAwareCompare(keys[a], keys[b]);
        return descending ? order > 0 : order < 0;
    });
}

namespace {

const QString LayoutFileName = QStringLiteral("Mandex.ini");

// The user's own layout file (Windows path); empty when the user has no application data folder.
QString userLayoutFile(const ManagerContext& ctx) {
    const QString appData = ctx.os().files().specialFolder(platform::CSIDL_APPDATA);
    return appData.isEmpty() ? QString() : appData + QStringLiteral("\\Marvek\\Mandex\\") + LayoutFileName;
}

// The layout file earlier versions kept beside the program, for every user.
QString sharedLayoutFile(const ManagerContext& ctx) {
    return ctx.shared.ProgramFolder + QLatin1Char('\\') + LayoutFileName;
}

} // namespace

WindowLayout LoadWindowLayout(const ManagerContext& ctx) {
    QString file = userLayoutFile(ctx);
    if (file.isEmpty() || !ctx.os().files().fileExists(file))
        file = sharedLayoutFile(ctx);
    const QSettings settings(ctx.os().machine().toHost(file), QSettings::IniFormat);
    WindowLayout layout;
    layout.geometry = settings.value(QStringLiteral("Window/Geometry")).toByteArray();
    for (const QVariant& width : settings.value(QStringLiteral("Window/ColumnWidths")).toList()) {
        bool ok = false;
        const int value = width.toInt(&ok);
        layout.columnWidths.append(ok && value > 0 && value < 4000 ? value : 0);
    }
    return layout;
}

void SaveWindowLayout(const ManagerContext& ctx, const WindowLayout& layout) {
    const QString file = userLayoutFile(ctx);
    if (file.isEmpty() || !ctx.os().files().createFolderPath(shared::ParentFolder(file)))
        return;
    QSettings settings(ctx.os().machine().toHost(file), QSettings::IniFormat);
    settings.setValue(QStringLiteral("Window/Geometry"), layout.geometry);
    QVariantList widths;
    for (const int width : layout.columnWidths)
        widths.append(width);
    settings.setValue(QStringLiteral("Window/ColumnWidths"), widths);
}

} // namespace marvek::manager
