// The system machine's configuration file on any text. Checked: a named machine is an absolute, clean
// path without NUL; the text names nothing once a garbled line (no "=") or a line that starts with "="
// is appended; a "root=" line appended after it names exactly that folder.

#include "fuzz/FuzzCheck.h"
#include "platform/Machine.h"

#include <QDir>
#include <cstddef>
#include <cstdint>

using marvek::platform::parseMachineConfig;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const QByteArray text = marvek::fuzz::bytes(data, size);
    const QString root = parseMachineConfig(text);
    if (!root.isEmpty()) {
        MARVEK_FUZZ_CHECK(root.startsWith(u'/'));
        MARVEK_FUZZ_CHECK(!root.contains(QChar(0)));
        MARVEK_FUZZ_CHECK(QDir::cleanPath(root) == root);
    }
    MARVEK_FUZZ_CHECK(parseMachineConfig(text + "\ngarbled\n").isEmpty());
    MARVEK_FUZZ_CHECK(parseMachineConfig(text + "\n=/srv/x\n").isEmpty());
    const QString appended = parseMachineConfig(text + "\n root = /srv/marvek/ \n");
    MARVEK_FUZZ_CHECK(appended.isEmpty() || appended == QLatin1String("/srv/marvek"));
    return 0;
}
