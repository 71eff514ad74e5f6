#pragma once

#include "manager/app/ManagerContext.h"
#include "manager/app/ManagerRows.h"
#include "shared/database/ManagerList.h"

#include <QString>
#include <QStringList>
#include <array>
#include <optional>
#include <vector>

namespace marvek::manager {

inline constexpr int MemoMaxLength = 100;

// The window's texts.
struct ManagerTexts {
    QString Caption; // also AppTitle
    QString L_MainTitle;
    QString L_MemoTitle;
    QString B_MemoUpdate;
    QString B_Display;
    QString B_Delete;
    QString B_CheckUpdate;
    QString B_End;
    std::array<QString, ManagerColumns> headers;
    QString FilterHint; // the filter box's hint, one of the suite's own texts
};

// The captions from the catalogue; records AppTitle.
ManagerTexts LoadManagerTexts(ManagerContext& ctx);

// The list query's rows in its order (the variant of the language); none when the query fails.
using ManagerList = std::optional<ManagerRows>;
ManagerList LoadManagerList(ManagerContext& ctx);

// Makes the manual the selected one and returns its memo.
QString SelectManual(ManagerContext& ctx, const QString& pubNo, const QString& insPath);

enum class DisplayResult {
    Opened,        // the page went to the browser or the PDF reader
    OpenFailed,    // the PDF reader could not be started (M080 shown)
    Missing,       // the page is missing (box shown); the manual could not be marked
    MissingMarked, // the page is missing and the manual is now marked: its row turns white
};

// Opens the manual of a row: an HTML manual in Pagora (or the system web browser), a PDF manual
// through the shell's "Open" verb. A missing page is reported and the manual marked for adjustment.
DisplayResult DisplayManual(ManagerContext& ctx, const QString& pubNo, const QString& insPath,
                            const QString& pdfFlag);

// The checks before a change: false (with the M067 box) when the database file is read-only.
bool DatabaseWritableOrSay(ManagerContext& ctx);

// Before a delete: the read-only check and the M051 question; true to go on.
bool ConfirmDelete(ManagerContext& ctx);

// Stores the memo of the selected manual: blanks around it removed, at most 100 characters (never
// cutting a character in two). Returns the text the memo box shows afterwards.
QString SaveMemo(ManagerContext& ctx, const QString& memoText);

// Beyond the list as it comes from the database: what a technician expects of a list of a few hundred
// manuals.

// True when the filter text (blanks around it ignored, letter case too) is empty or appears in the
// manual's model, its publication number or its memo.
bool RowMatchesFilter(const QString& model, const QString& pubNo, const QString& memo, const QString& filter);

// Orders rows (indexes into list) by the text of one column (0-based), keeping the order of equal texts.
void SortManagerRows(const ManagerRows& list, std::vector<size_t>& rows, int column, bool descending);

// The window's size and column widths between runs, kept per user in "Mandex.ini" of the user's
// application data folder (Marvek\Mandex). Without one, the layout an earlier version kept beside the
// program is read; it is never written.
struct WindowLayout {
    QByteArray geometry;
    QList<int> columnWidths;

    bool operator==(const WindowLayout&) const = default;
};
WindowLayout LoadWindowLayout(const ManagerContext& ctx);
void SaveWindowLayout(const ManagerContext& ctx, const WindowLayout& layout);

} // namespace marvek::manager
