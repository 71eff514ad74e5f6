// The catalogue file of a CD manual folder (car_info.ci) on any bytes, read on a code-page-1252 and a
// code-page-932 PC and checked with the sample CD's limits and with tight ones. Checked: every value is
// trimmed, at most 255 characters and one line; the check passes exactly when every value but Kubun is
// present and none is longer than its limit, and a failure names the first failing field in the check
// order with its length, while a pass leaves the error lines alone.

#include "fuzz/FuzzCheck.h"
#include "shared/catalogue/CarInfo.h"
#include "shared/testing/SharedTestContext.h"

#include <QStringList>
#include <cstddef>
#include <cstdint>

using namespace marvek;
using shared::ManualEntry;

namespace {

const QString Folder = QStringLiteral("RM010EN");

testing::SharedTestContext& machine() {
    static testing::SharedTestContext made;
    return made;
}

struct Field {
    const char* label;
    QString ManualEntry::*value;
    shared::Column column;
};

// The check order.
const Field Fields[] = {
    {"Pub_No", &ManualEntry::Pub_No, shared::Column::Pub_No},
    {"Model_desc", &ManualEntry::Model_desc, shared::Column::Model_desc},
    {"Model_ID", &ManualEntry::Model_ID, shared::Column::Model_ID},
    {"Version", &ManualEntry::Version, shared::Column::Version},
    {"Year", &ManualEntry::Year, shared::Column::Year},
    {"Kubun", &ManualEntry::Kubun, shared::Column::Kubun},
    {"Country", &ManualEntry::Country, shared::Column::Country},
    {"Lang", &ManualEntry::Lang, shared::Column::Lang},
    {"Ldup", &ManualEntry::Ldup, shared::Column::Ldup},
};

void checkEntry(const ManualEntry& entry, const shared::SystemParameters& parameters) {
    const Field* failing = nullptr;
    for (const Field& field : Fields) {
        const QString& value = entry.*field.value;
        MARVEK_FUZZ_CHECK(value.size() <= 255);
        MARVEK_FUZZ_CHECK(!value.startsWith(u' ') && !value.endsWith(u' '));
        MARVEK_FUZZ_CHECK(!value.contains(u'\r') && !value.contains(u'\n') && !value.contains(QChar(0)));
        const bool passes = (!value.isEmpty() || field.column == shared::Column::Kubun) &&
                            value.size() <= parameters.columnLength(field.column);
        if (!passes && !failing)
            failing = &field;
    }
    QString line1 = QStringLiteral("untouched 1");
    QString line2 = QStringLiteral("untouched 2");
    const bool valid = shared::ValidateCatalogueEntry(entry, parameters, line1, line2);
    MARVEK_FUZZ_CHECK(valid == (failing == nullptr));
    if (valid) {
        MARVEK_FUZZ_CHECK(line1 == QLatin1String("untouched 1") && line2 == QLatin1String("untouched 2"));
        return;
    }
    MARVEK_FUZZ_CHECK(line1 == QLatin1String(shared::CatalogueErrorLine1));
    MARVEK_FUZZ_CHECK(line2 == QStringLiteral("PubNo = ") + entry.Pub_No + QStringLiteral(" [ ") +
                                   QLatin1String(failing->label) + QStringLiteral(" length = ") +
                                   QString::number((entry.*failing->value).size()) + QStringLiteral(" ]"));
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    testing::SharedTestContext& t = machine();
    const QByteArray bytes = marvek::fuzz::bytes(data, size);
    MARVEK_FUZZ_CHECK(t.temp().writeFile(t.ctx.SourceRoot + Folder + QStringLiteral("\\car_info.ci"), bytes));

    shared::SystemParameters sample; // the sample CD's limits
    sample.ColumnLengths = {10, 40, 10, 3, 4, 20, 20, 20, 10};
    shared::SystemParameters tight;
    tight.ColumnLengths = {2, 2, 2, 1, 1, 0, 2, 2, 1};
    for (const char* locale : {"0409", "0411"}) {
        MARVEK_FUZZ_CHECK(t.setLocale(locale));
        ManualEntry entry;
        shared::ReadCarInfo(t.ctx, Folder, entry);
        checkEntry(entry, sample);
        checkEntry(entry, tight);
    }
    return 0;
}
