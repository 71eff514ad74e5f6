#include "platform/MachineInfo.h"

#include "platform/PrivateProfile.h"
#include "platform/TextCodec.h"

#include <pwd.h>
#include <string_view>
#include <unistd.h>
#include <vector>

namespace marvek::platform {

namespace {

constexpr quint16 LangEnglishUs = 0x0409;
constexpr quint16 PrimaryLanguageJapanese = 0x11;

struct LocaleLanguage {
    std::string_view language;
    std::string_view territory; // empty: any territory not listed
    quint16 langId;
};

// Windows language identifiers of the POSIX locales the suite is likely to meet.
constexpr LocaleLanguage LocaleLanguages[] = {
    {"ja", "", 0x0411},   {"en", "GB", 0x0809}, {"en", "AU", 0x0C09}, {"en", "CA", 0x1009},
    {"en", "NZ", 0x1409}, {"en", "IE", 0x1809}, {"en", "ZA", 0x1C09}, {"en", "", 0x0409},
    {"de", "CH", 0x0807}, {"de", "AT", 0x0C07}, {"de", "LU", 0x1007}, {"de", "LI", 0x1407},
    {"de", "", 0x0407},   {"fr", "BE", 0x080C}, {"fr", "CA", 0x0C0C}, {"fr", "CH", 0x100C},
    {"fr", "LU", 0x140C}, {"fr", "", 0x040C},   {"zh", "TW", 0x0404}, {"zh", "HK", 0x0C04},
    {"zh", "SG", 0x1004}, {"zh", "MO", 0x1404}, {"zh", "", 0x0804},   {"es", "MX", 0x080A},
    {"es", "", 0x0C0A},   {"pt", "BR", 0x0416}, {"pt", "", 0x0816},   {"it", "", 0x0410},
    {"ko", "", 0x0412},   {"nl", "BE", 0x0813}, {"nl", "", 0x0413},   {"ru", "", 0x0419},
    {"sv", "", 0x041D},   {"pl", "", 0x0415},   {"cs", "", 0x0405},   {"da", "", 0x0406},
    {"fi", "", 0x040B},   {"el", "", 0x0408},   {"hu", "", 0x040E},   {"nb", "", 0x0414},
    {"no", "", 0x0414},   {"tr", "", 0x041F},   {"th", "", 0x041E},   {"ar", "", 0x0401},
    {"he", "", 0x040D},
};

struct EnvironmentDefault {
    const char* name;
    const char* value;
};

// The Windows environment of a machine installed with the defaults.
constexpr EnvironmentDefault EnvironmentDefaults[] = {
    {"ProgramFiles", "C:\\Program Files"},
};

} // namespace

QString MachineInfo::environmentLocale() {
    const QString all = qEnvironmentVariable("LC_ALL");
    return all.isEmpty() ? qEnvironmentVariable("LANG") : all;
}

namespace {

QString processUserName() {
    const QString name = processAccountName();
    return name.isEmpty() ? qEnvironmentVariable("USER") : name;
}

} // namespace

namespace {

QString lookUpAccountName() {
    const long suggested = ::sysconf(_SC_GETPW_R_SIZE_MAX);
    std::vector<char> storage(suggested > 0 ? size_t(suggested) : 16384);
    passwd entry{};
    passwd* found = nullptr;
    if (::getpwuid_r(::geteuid(), &entry, storage.data(), storage.size(), &found) == 0 && found &&
        found->pw_name)
        return QString::fromLocal8Bit(found->pw_name);
    return QString();
}

} // namespace

QString processAccountName() {
    // The process's account does not change while it runs; the lookup reads the system's files.
    static const QString name = lookUpAccountName();
    return name;
}

MachineInfo::MachineInfo(const Machine& machine) : m_file(machine.machineIniFile()) {
}

MachineInfo MachineInfo::readOnce(const Machine& machine) {
    MachineInfo info(machine);
    info.m_read = info.file();
    return info;
}

std::shared_ptr<const PrivateProfileFile> MachineInfo::file() const {
    return m_read ? m_read : std::make_shared<const PrivateProfileFile>(m_file, CodePageUtf8);
}

QString MachineInfo::value(const QString& section, const QString& key, const QString& fallback) const {
    return value(*file(), section, key, fallback);
}

QString MachineInfo::value(const PrivateProfileFile& file, const QString& section, const QString& key,
                           const QString& fallback) {
    QString buffer;
    const int length = file.getString(section, key, fallback, buffer, 256);
    return buffer.left(length);
}

quint16 MachineInfo::langId(const QString& key) const {
    QString text = value(QStringLiteral("Locale"), key);
    if (text.startsWith(QStringLiteral("0x"), Qt::CaseInsensitive))
        text = text.mid(2);
    bool ok = false;
    const uint id = text.toUInt(&ok, 16);
    if (ok && id > 0 && id <= 0xFFFF)
        return quint16(id);
    return langIdFromPosixLocale(environmentLocale());
}

quint16 MachineInfo::userDefaultLangId() const {
    return langId(QStringLiteral("UserDefaultLangID"));
}

quint16 MachineInfo::systemDefaultLangId() const {
    return langId(QStringLiteral("SystemDefaultLangID"));
}

int MachineInfo::ansiCodePage() const {
    bool ok = false;
    const int page = value(QStringLiteral("Locale"), QStringLiteral("ACP")).toInt(&ok);
    if (ok && page > 0)
        return page;
    return codePageOfLangId(systemDefaultLangId());
}

std::optional<OsVersion> MachineInfo::osVersion() const {
    // One reading of the file for all its values.
    const std::shared_ptr<const PrivateProfileFile> read = this->file();
    const PrivateProfileFile& file = *read;
    const QString system = QStringLiteral("System");
    if (value(file, system, QStringLiteral("OsVersionFails")) == u"1")
        return std::nullopt;
    // An empty CSDVersion is meaningful (no service pack); only a missing one falls back.
    OsVersion version{5, 1,
                      value(file, system, QStringLiteral("CSDVersion"), QStringLiteral("Service Pack 3"))};
    bool ok = false;
    const uint major = value(file, system, QStringLiteral("MajorVersion")).toUInt(&ok);
    if (ok)
        version.major = major;
    const uint minor = value(file, system, QStringLiteral("MinorVersion")).toUInt(&ok);
    if (ok)
        version.minor = minor;
    return version;
}

QString MachineInfo::logonName() const {
    const QString configured = value(QStringLiteral("System"), QStringLiteral("LogonName"));
    return configured.isEmpty() ? processUserName() : configured;
}

QString MachineInfo::environmentVariable(const QString& name) const {
    if (name.isEmpty())
        return {};
    QString fallback;
    for (const EnvironmentDefault& entry : EnvironmentDefaults) {
        if (name.compare(QLatin1String(entry.name), Qt::CaseInsensitive) == 0)
            fallback = QLatin1String(entry.value);
    }
    return value(QStringLiteral("Environment"), name, fallback);
}

QString MachineInfo::shortDateFormat() const {
    return (userDefaultLangId() & 0x3FF) == PrimaryLanguageJapanese ? QStringLiteral("yyyy/MM/dd")
                                                                    : QStringLiteral("M/d/yyyy");
}

QString MachineInfo::longTimeFormat() const {
    return (userDefaultLangId() & 0x3FF) == PrimaryLanguageJapanese ? QStringLiteral("H:mm:ss")
                                                                    : QStringLiteral("h:mm:ss AP");
}

quint16 MachineInfo::langIdFromPosixLocale(const QString& locale) {
    return knownLangIdOfLocale(locale).value_or(LangEnglishUs);
}

std::optional<quint16> MachineInfo::knownLangIdOfLocale(const QString& locale) {
    QString name = locale;
    for (const QChar cut : {QChar(u'.'), QChar(u'@')}) {
        const qsizetype at = name.indexOf(cut);
        if (at >= 0)
            name.truncate(at);
    }
    const qsizetype underscore = name.indexOf(u'_');
    const QByteArray language = (underscore < 0 ? name : name.left(underscore)).toLower().toLatin1();
    const QByteArray territory =
        underscore < 0 ? QByteArray() : name.mid(underscore + 1).toUpper().toLatin1();
    for (const LocaleLanguage& entry : LocaleLanguages) {
        if (entry.language != std::string_view(language.constData(), size_t(language.size())))
            continue;
        if (entry.territory.empty() ||
            entry.territory == std::string_view(territory.constData(), size_t(territory.size())))
            return entry.langId;
    }
    return std::nullopt;
}

std::optional<quint16> MachineInfo::knownLangId(const QString& text) {
    QString digits = text.trimmed();
    if (digits.startsWith(QStringLiteral("0x"), Qt::CaseInsensitive))
        digits = digits.mid(2);
    bool ok = false;
    const uint id = digits.size() == 4 ? digits.toUInt(&ok, 16) : 0;
    if (ok && !localeName(quint16(id)).isEmpty())
        return quint16(id);
    if (text.trimmed().isEmpty() || text.contains(u'/'))
        return std::nullopt;
    return knownLangIdOfLocale(text.trimmed());
}

QString MachineInfo::localeName(quint16 langId) {
    for (const LocaleLanguage& entry : LocaleLanguages) {
        if (entry.langId != langId)
            continue;
        QString name = QString::fromLatin1(entry.language.data(), qsizetype(entry.language.size()));
        if (!entry.territory.empty())
            name += u'_' + QString::fromLatin1(entry.territory.data(), qsizetype(entry.territory.size()));
        return name;
    }
    return {};
}

int MachineInfo::codePageOfLangId(quint16 langId) {
    return (langId & 0x3FF) == PrimaryLanguageJapanese ? CodePageShiftJis : CodePageWestern;
}

} // namespace marvek::platform
