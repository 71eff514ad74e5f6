// The service-pack text of the machine's version: its number runs from the first digit to the first
// comma, blanks around it dropped, and must be digits only. The version gate passes 5.1 only from
// service pack 2 on.
#include "browser_setup/app/OsCheck.h"
#include "fuzz/FuzzCheck.h"

#include <QRegularExpression>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const QString text = marvek::fuzz::utf8(data, size);
    const std::optional<quint64> number = marvek::browser_setup::ServicePackNumber(text);

    static const QRegularExpression digit(QStringLiteral("[0-9]"));
    const QRegularExpressionMatch first = digit.match(text);
    QString rest = first.hasMatch() ? text.mid(first.capturedStart()) : QString();
    rest = rest.left(rest.indexOf(QLatin1Char(','))).trimmed();
    static const QRegularExpression digits(QStringLiteral("^[0-9]+$"));
    const bool whole = first.hasMatch() && digits.match(rest).hasMatch();
    MARVEK_FUZZ_CHECK(number.has_value() == whole);
    bool fits = false;
    const quint64 value = rest.toULongLong(&fits);
    MARVEK_FUZZ_CHECK(!number || !fits || *number == value);

    marvek::platform::OsVersion version{5, 1, text};
    MARVEK_FUZZ_CHECK(marvek::browser_setup::IsSupportedOs(version) == (number && *number >= 2));
    return 0;
}
