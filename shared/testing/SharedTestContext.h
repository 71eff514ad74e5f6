#pragma once

#include "platform/Platform.h"
#include "platform/testing/TempMachine.h"
#include "shared/Context.h"

#include <QFile>
#include <memory>
#include <ostream>

// Readable failure messages for Qt texts, the same in every test of the shared services.
inline void PrintTo(const QString& text, std::ostream* out) {
    *out << '"' << text.toStdString() << '"';
}
inline void PrintTo(const QByteArray& bytes, std::ostream* out) {
    *out << '"' << bytes.toStdString() << '"';
}
// Test texts are written in UTF-8.
inline QString q(const char* text) {
    return QString::fromUtf8(text);
}

namespace marvek::testing {

// A shared context on a fresh temporary machine prefix, with the scripted UI (answers and a record of
// every box) and the instant, counting clock. The program folder is C:\CD\programs\setup.
class SharedTestContext {
public:
    SharedTestContext()
        : SharedTestContext(std::make_unique<platform::ScriptedUserInterface>(),
                            std::make_unique<platform::TestClock>()) {}

    TempMachine& temp() { return m_temp; }
    platform::ScriptedUserInterface& ui() { return *m_ui; }
    platform::TestClock& clock() { return *m_clock; }
    platform::Platform& os() { return m_os; }

    // The user's and the system's language ("0411", "0409"); the ANSI code page follows from it.
    bool setLocale(const char* langId) {
        QFile ini(m_temp.machine().machineIniFile());
        const QByteArray id(langId);
        return ini.open(QIODevice::WriteOnly | QIODevice::Truncate) &&
               ini.write("[Locale]\nUserDefaultLangID=" + id + "\nSystemDefaultLangID=" + id + "\n") > 0;
    }

private:
    SharedTestContext(std::unique_ptr<platform::ScriptedUserInterface> ui,
                      std::unique_ptr<platform::TestClock> clock)
        : m_ui(ui.get()), m_clock(clock.get()), m_os(m_temp.machine(), std::move(ui), std::move(clock)),
          ctx(m_os, QStringLiteral("Manual Install Program")) {
        ctx.setProgramFolder(QStringLiteral("C:\\CD\\programs\\setup"));
        ctx.SourceRoot = QStringLiteral("C:\\CD\\");
        ctx.AppTitle = QStringLiteral("Manual Install Program");
    }

    TempMachine m_temp;
    platform::ScriptedUserInterface* m_ui;
    platform::TestClock* m_clock;
    platform::Platform m_os;

public:
    shared::SharedContext ctx;
};

} // namespace marvek::testing
