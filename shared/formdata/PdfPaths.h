#pragma once

#include "shared/Context.h"

#include <QString>
#include <QtGlobal>

namespace marvek::shared {

// folder & "\contents\" & name & ".pdf": where a PDF manual keeps its document.
QString PdfPath(const QString& folder, const QString& name);
// True when PdfPath exists.
bool PdfExists(const SharedContext& ctx, const QString& folder, const QString& name);
// SourceRoot & folder & "\contents\" & name & ".pdf": the document of a manual folder on the CD.
QString CdPdfPath(const SharedContext& ctx, const QString& folder, const QString& name);
bool CdPdfExists(const SharedContext& ctx, const QString& folder, const QString& name);
// SourceRoot & relative.
QString CdPath(const SharedContext& ctx, const QString& relative);

// The space a PDF manual needs: with n = length of unitText - 1 and t = the decimal digits of size,
// (t without its last n digits, followed by n zeros) + the value of unitText when t has more than n
// digits, else the value of unitText. With "10000000": (size / 10,000,000 rounded down + 1) x 10,000,000.
// 0 for an empty or non-numeric unit text.
qint64 PdfSpaceEstimate(qint64 size, const QString& unitText);

} // namespace marvek::shared
