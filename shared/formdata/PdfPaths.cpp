#include "shared/formdata/PdfPaths.h"

#include <limits>

namespace marvek::shared {

QString PdfPath(const QString& folder, const QString& name) {
    return folder + QStringLiteral("\\contents\\") + name + QStringLiteral(".pdf");
}

bool PdfExists(const SharedContext& ctx, const QString& folder, const QString& name) {
    return ctx.os.files().fileExists(PdfPath(folder, name));
}

QString CdPdfPath(const SharedContext& ctx, const QString& folder, const QString& name) {
    return ctx.SourceRoot + PdfPath(folder, name);
}

bool CdPdfExists(const SharedContext& ctx, const QString& folder, const QString& name) {
    return ctx.os.files().fileExists(CdPdfPath(ctx, folder, name));
}

QString CdPath(const SharedContext& ctx, const QString& relative) {
    return ctx.SourceRoot + relative;
}

qint64 PdfSpaceEstimate(qint64 size, const QString& unitText) {
    bool ok = false;
    const qint64 unit = unitText.trimmed().toLongLong(&ok, 10);
    if (!ok || unitText.isEmpty())
        return 0;
    const qsizetype n = unitText.size() - 1;
    const QString digits = QString::number(qMax<qint64>(size, 0));
    if (digits.size() <= n)
        return unit;
    const qint64 rounded = (digits.left(digits.size() - n) + QString(n, QLatin1Char('0'))).toLongLong(&ok);
    qint64 result = 0;
    if (!ok || __builtin_add_overflow(rounded, unit, &result))
        return std::numeric_limits<qint64>::max();
    return result;
}

} // namespace marvek::shared
