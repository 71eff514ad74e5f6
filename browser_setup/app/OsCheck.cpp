#include "browser_setup/app/OsCheck.h"

#include <limits>

namespace marvek::browser_setup {

namespace {

constexpr quint32 XpMajor = 5;
constexpr quint32 XpMinor = 1;
constexpr quint64 XpServicePack = 2;

bool isDigit(QChar c) {
    return c >= QLatin1Char('0') && c <= QLatin1Char('9');
}

} // namespace

std::optional<quint64> ServicePackNumber(const QString& servicePack) {
    qsizetype first = 0;
    while (first < servicePack.size() && !isDigit(servicePack.at(first)))
        ++first;
    if (first == servicePack.size())
        return std::nullopt;
    QString number = servicePack.mid(first).trimmed();
    const qsizetype comma = number.indexOf(QLatin1Char(','));
    if (comma >= 0)
        number = number.left(comma).trimmed();
    if (number.isEmpty())
        return std::nullopt;
    for (const QChar c : number) {
        if (!isDigit(c))
            return std::nullopt;
    }
    bool ok = false;
    const quint64 value = number.toULongLong(&ok);
    return ok ? value : std::numeric_limits<quint64>::max();
}

bool IsSupportedOs(const platform::OsVersion& version) {
    if (version.major != XpMajor)
        return version.major > XpMajor;
    if (version.minor != XpMinor)
        return version.minor > XpMinor;
    const std::optional<quint64> servicePack = ServicePackNumber(version.servicePack);
    return servicePack && *servicePack >= XpServicePack;
}

int GFncOS_Check(const PagosetContext& ctx) {
    const std::optional<platform::OsVersion> version = ctx.os.machineInfo().osVersion();
    if (!version) {
        ctx.os.ui().messageBox(QString::fromUtf8(OsQueryFailedText), platform::mb::OKOnly,
                               QLatin1String(ProgramTitle));
        return 0;
    }
    return IsSupportedOs(*version) ? 1 : 0;
}

} // namespace marvek::browser_setup
