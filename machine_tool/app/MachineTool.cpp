#include "machine_tool/app/MachineTool.h"

#include "platform/DesktopEntries.h"
#include "platform/Machine.h"
#include "platform/MachineInfo.h"
#include "platform/MachineSetup.h"
#include "platform/Processes.h"
#include "platform/Registry.h"
#include "platform/SharedMachine.h"
#include "platform/Shell.h"
#include "shared/config/RegistryKeys.h"
#include "shared/database/clsMDB.h"

#include <QDir>
#include <QFileInfo>
#include <QThread>
#include <memory>

namespace marvek::machine_tool {

namespace {

using platform::HKEY_LOCAL_MACHINE;

constexpr auto SuiteKey = "SOFTWARE\\MARVEK";
constexpr auto DiagnosticValue = "ProgramPath";
constexpr auto ManualDatabaseName = "ManualLink.mdb";

QString hexId(quint16 id) {
    return QStringLiteral("%1").arg(id, 4, 16, QLatin1Char('0')).toUpper();
}

QString describeLocale(quint16 id) {
    const QString name = platform::MachineInfo::localeName(id);
    return name.isEmpty() ? hexId(id) : QStringLiteral("%1 (%2)").arg(hexId(id), name);
}

bool isDrivePath(const QString& text) {
    return text.size() >= 2 && text[0].isLetter() && text[0].unicode() < 0x80 && text[1] == u':';
}

// The documents a shortcut may name open with their application, as the Windows shell opens them.
bool isProgram(const QString& path) {
    const QString suffix = QFileInfo(path).suffix().toLower();
    return suffix == u"exe" || suffix == u"com" || suffix == u"bat" || suffix == u"cmd" || suffix.isEmpty();
}

int fail(QTextStream& err, const QString& text) {
    err << "marvek-machine: " << text << Qt::endl;
    return ExitFailed;
}

void showDrives(const platform::Machine& machine, QTextStream& out) {
    out << "Drives:\n";
    for (char16_t letter = u'a'; letter <= u'z'; ++letter) {
        const QString entry = machine.drivesFolder() + u'/' + QChar(letter);
        const QFileInfo info(entry);
        if (!info.exists() && !info.isSymLink())
            continue;
        const QString target = info.isSymLink() ? info.symLinkTarget() : info.absoluteFilePath();
        out << "  " << QChar(letter).toUpper() << ": " << target
            << (machine.driveExists(QChar(letter)) ? "" : "  (missing)") << '\n';
    }
}

void showManuals(const platform::Machine& machine, const platform::Registry& registry, QTextStream& out) {
    const QString folder = registry.readString(HKEY_LOCAL_MACHINE, QLatin1String(shared::ManualLinkKey),
                                               QLatin1String(shared::InstallDirValue));
    const QString database = folder + u'\\' + QLatin1String(ManualDatabaseName);
    if (folder.isEmpty() || !QFileInfo(machine.toHost(database)).isFile()) {
        out << "Installed manuals: no manual database\n";
        return;
    }
    shared::clsMDB db(machine);
    if (!db.Pcls_MdbOpenReadOnly(database)) {
        out << "Installed manuals: " << database << " cannot be read\n";
        return;
    }
    QStringList rows;
    const bool read = db.ReadRows(
        QStringLiteral("SELECT Pub_No, Model_desc, Version, InsPath FROM M_manage ORDER BY Pub_No"),
        [&rows](const shared::QueryRow& row) {
            rows
                << QStringLiteral("  %1  %2  %3  %4").arg(row.text(0), row.text(1), row.text(2), row.text(3));
        });
    if (!read) {
        out << "Installed manuals: " << database << " cannot be read\n";
        return;
    }
    out << "Installed manuals (" << database << "): " << rows.size() << '\n';
    for (const QString& row : std::as_const(rows))
        out << row << '\n';
}

// Why the tool works in this machine, as the programs of the suite choose theirs.
QString chosenBecause(const MachineCommand& command, const QString& systemConfig) {
    if (!command.root.isEmpty())
        return QStringLiteral("given with --root");
    switch (platform::Machine::defaultChoice(systemConfig).source) {
    case platform::Machine::Source::Environment:
        return QStringLiteral("named by MARVEK_ROOT");
    case platform::Machine::Source::SystemConfig:
        return QStringLiteral("named by %1 (MARVEK_ROOT is not set)").arg(systemConfig);
    case platform::Machine::Source::UserDefault:
        break;
    }
    return QStringLiteral("this user's own (MARVEK_ROOT is not set and %1 names no machine)")
        .arg(systemConfig);
}

int show(const platform::Machine& machine, const QString& because, QTextStream& out) {
    const platform::MachineInfo info(machine);
    const platform::Registry registry(machine);
    out << "Machine: " << machine.root() << '\n';
    out << "  " << because << '\n';
    if (const std::optional<platform::MachineGroup> group = platform::sharedMachineGroup(machine))
        out << "  shared by the technicians of the group " << group->name << '\n';
    out << "Locale: user " << describeLocale(info.userDefaultLangId()) << ", system "
        << describeLocale(info.systemDefaultLangId()) << ", code page " << info.ansiCodePage() << '\n';
    showDrives(machine, out);
    out << "Registry (" << SuiteKey << "):\n";
    const auto values = registry.values(HKEY_LOCAL_MACHINE, QLatin1String(SuiteKey));
    if (values.empty())
        out << "  (none)\n";
    for (const platform::RegistryValue& value : values)
        out << "  " << value.key << ": " << value.name << '=' << value.value << '\n';
    showManuals(machine, registry, out);
    return ExitOk;
}

int map(const platform::Machine& machine, const MachineCommand& command, QTextStream& out, QTextStream& err) {
    const QFileInfo folder(command.folder);
    if (!folder.isDir())
        return fail(err, QStringLiteral("folder does not exist: %1").arg(command.folder));
    if (!platform::MachineSetup(machine).ensure())
        return fail(err, QStringLiteral("the machine at %1 cannot be completed").arg(machine.root()));
    if (!machine.mapDrive(command.drive, folder.absoluteFilePath()))
        return fail(err, QStringLiteral("%1: cannot be mapped: its folder in the machine holds files")
                             .arg(command.drive.toUpper()));
    out << command.drive.toUpper() << ": " << folder.absoluteFilePath() << '\n';
    return ExitOk;
}

int unmap(const platform::Machine& machine, const MachineCommand& command, QTextStream& out,
          QTextStream& err) {
    const QString letter = QString(command.drive.toUpper()) + u':';
    const QString entry = machine.drivesFolder() + u'/' + command.drive;
    const QFileInfo info(entry);
    if (info.isSymLink()) {
        if (!QFile::remove(entry))
            return fail(err, QStringLiteral("%1 cannot be unmapped").arg(letter));
    } else if (info.isDir()) {
        // A folder of the machine itself: only an empty one goes; its files are never touched.
        if (!QDir().rmdir(entry))
            return fail(
                err, QStringLiteral("%1 is a folder of the machine holding files, not a mapping; left alone")
                         .arg(letter));
    } else {
        return fail(err, QStringLiteral("%1 is not mapped").arg(letter));
    }
    out << letter << " unmapped\n";
    return ExitOk;
}

int setLocale(const platform::Machine& machine, const MachineCommand& command, QTextStream& out,
              QTextStream& err) {
    if (!platform::MachineSetup(machine).ensure())
        return fail(err, QStringLiteral("the machine at %1 cannot be completed").arg(machine.root()));
    const QString section = QStringLiteral("Locale");
    const int codePage = platform::MachineInfo::codePageOfLangId(command.langId);
    const std::vector<platform::IniValue> values{
        {section, QStringLiteral("UserDefaultLangID"), hexId(command.langId)},
        {section, QStringLiteral("SystemDefaultLangID"), hexId(command.langId)},
        {section, QStringLiteral("ACP"), QString::number(codePage)},
    };
    if (!platform::writeIniValues(machine.machineIniFile(), values, true))
        return fail(err, QStringLiteral("%1 cannot be written").arg(machine.machineIniFile()));
    out << "Locale: " << describeLocale(command.langId) << ", code page " << codePage << '\n';
    return ExitOk;
}

int registerDiagnostic(const platform::Machine& machine, const MachineCommand& command, QTextStream& out,
                       QTextStream& err) {
    // A Windows path of the machine, or a host folder that has a Windows name.
    QString windowsPath;
    if (isDrivePath(command.folder)) {
        const QString host = machine.toHost(command.folder);
        if (host.isEmpty() || !QFileInfo(host).isDir())
            return fail(err, QStringLiteral("folder does not exist: %1").arg(command.folder));
        windowsPath = command.folder;
    } else {
        const QFileInfo folder(command.folder);
        if (!folder.isDir())
            return fail(err, QStringLiteral("folder does not exist: %1").arg(command.folder));
        windowsPath = machine.toWindows(folder.absoluteFilePath());
        if (windowsPath.isEmpty())
            return fail(err, QStringLiteral("%1 has no Windows name on this machine").arg(command.folder));
    }
    while (windowsPath.size() > 3 && windowsPath.endsWith(u'\\'))
        windowsPath.chop(1);
    if (!platform::MachineSetup(machine).ensure())
        return fail(err, QStringLiteral("the machine at %1 cannot be completed").arg(machine.root()));
    const platform::Registry registry(machine);
    if (!registry.writeString(HKEY_LOCAL_MACHINE, QLatin1String(shared::ScanluxKey),
                              QLatin1String(DiagnosticValue), windowsPath))
        return fail(err, QStringLiteral("%1 cannot be written").arg(machine.registryFile()));
    out << shared::ScanluxKey << ": " << DiagnosticValue << '=' << windowsPath << '\n';
    return ExitOk;
}

int run(const platform::Machine& machine, const MachineCommand& command, QTextStream& err) {
    if (!command.folder.isEmpty()) {
        const QString host = machine.toHost(command.folder);
        if (host.isEmpty() || !QFileInfo(host).isDir())
            return fail(err, QStringLiteral("working folder does not exist: %1").arg(command.folder));
        if (!platform::MachineSetup(machine).ensure() || !QDir::setCurrent(host))
            return fail(err, QStringLiteral("cannot work in %1").arg(command.folder));
    } else if (!platform::MachineSetup(machine).ensure()) {
        return fail(err, QStringLiteral("the machine at %1 cannot be completed").arg(machine.root()));
    }
    const QStringList parts = platform::splitWindowsCommandLine(command.commandLine);
    const platform::Processes processes(machine);
    if (parts.size() == 1 && !isProgram(parts[0])) {
        const int result = platform::shellOpen(machine, parts[0]);
        if (result < 32)
            return fail(err, QStringLiteral("%1 cannot be opened (%2)").arg(parts[0]).arg(result));
        return ExitOk;
    }
    if (!command.wait) {
        if (!processes.startDetached(command.commandLine, platform::WindowMode::Normal))
            return fail(err, QStringLiteral("cannot start %1").arg(command.commandLine));
        return ExitOk;
    }
    const std::unique_ptr<platform::ChildProcess> child =
        processes.start(command.commandLine, platform::WindowMode::Normal);
    if (!child)
        return fail(err, QStringLiteral("cannot start %1").arg(command.commandLine));
    quint32 code = platform::STILL_ACTIVE;
    while ((code = child->exitCode()) == platform::STILL_ACTIVE)
        QThread::msleep(20);
    return int(code);
}

} // namespace

int runMachineCommand(const MachineCommand& command, QTextStream& out, QTextStream& err,
                      const QString& systemConfig) {
    if (command.kind == CommandKind::Help) {
        out << machineToolUsage();
        return ExitOk;
    }
    const QString root =
        QFileInfo(command.root.isEmpty() ? platform::Machine::defaultChoice(systemConfig).root : command.root)
            .absoluteFilePath();
    const platform::Machine machine(root);
    // A shared machine that this user may not write to: refused before anything is written (show only
    // reads, and says which machine it is).
    if (const QString refusal = platform::enterMachine(machine);
        !refusal.isEmpty() && command.kind != CommandKind::Show)
        return fail(err, refusal);
    // A program of the suite: entries of shortcuts that are gone leave the desktop.
    platform::DesktopEntries::sweep();
    if (command.kind == CommandKind::Create) {
        const bool existed = QFileInfo(machine.registryFile()).exists();
        if (!platform::MachineSetup(machine).ensure())
            return fail(err, QStringLiteral("the machine at %1 cannot be made").arg(root));
        out << (existed ? "Completed the machine at " : "Made the machine at ") << root << '\n';
        return ExitOk;
    }
    if (!QFileInfo(root).isDir())
        return fail(
            err,
            QStringLiteral("there is no machine at %1; make one with 'marvek-machine create'").arg(root));
    switch (command.kind) {
    case CommandKind::Show:
        return show(machine, chosenBecause(command, systemConfig), out);
    case CommandKind::Map:
        return map(machine, command, out, err);
    case CommandKind::Unmap:
        return unmap(machine, command, out, err);
    case CommandKind::Locale:
        return setLocale(machine, command, out, err);
    case CommandKind::RegisterDiagnostic:
        return registerDiagnostic(machine, command, out, err);
    case CommandKind::Run:
        return run(machine, command, err);
    case CommandKind::Help:
    case CommandKind::Create:
        break;
    }
    return ExitOk;
}

int machineToolMain(const QStringList& arguments, QTextStream& out, QTextStream& err) {
    const ParsedCommand parsed = parseMachineCommand(arguments);
    if (!parsed.command) {
        err << "marvek-machine: " << parsed.error << "\nTry 'marvek-machine --help'." << Qt::endl;
        return ExitUsage;
    }
    return runMachineCommand(*parsed.command, out, err);
}

} // namespace marvek::machine_tool
