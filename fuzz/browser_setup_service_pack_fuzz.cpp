// The service-pack text of the machine's version: its number runs from the first digit to the first
// comma, blanks around it dropped, and must be digits only. The version gate passes 5.1 only from
// service pack 2 on.
#include "browser_setup/app/OsCheck.h"

#include <QRegularExpression>
#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const QString text = QString::fromUtf8(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    const std::optional<quint64> number = marvek::browser_setup::ServicePackNumber(text);

    static const QRegularExpression digit(QStringLiteral("[0-9]"));
    const QRegularExpressionMatch first = digit.match(text);
    QString rest = first.hasMatch() ? text.mid(first.capturedStart()) : QString();
    rest = rest.left(rest.indexOf(QLatin1Char(','))).trimmed();
    static const QRegularExpression digits(QStringLiteral("^[0-9]+$"));
    const bool whole = first.hasMatch() && digits.match(rest).hasMatch();
    if (number.has_value() != whole)
        std::abort();
    bool fits = false;
    const quint64 value = rest.toULongLong(&fits);
    if (number && fits && *number != value)
        std::abort();

    marvek::platform::OsVersion version{5, 1, text};
    if (marvek::browser_setup::IsSupportedOs(version) != (number && *number >= 2))
        std::abort();
    return 0;
}
