#pragma once

#include <QByteArray>
#include <QString>
#include <QtGlobal>
#include <optional>

namespace marvek::platform {

struct FileVersion {
    quint16 major = 0;
    quint16 minor = 0;
    quint16 build = 0;
    quint16 revision = 0;
    friend bool operator==(const FileVersion&, const FileVersion&) = default;
};

// Every program the project builds carries a file-version record (see cmake/MarvekVersion.cmake):
// the 16 bytes 7F "MVK-FILEVERSION" followed by the four parts as little-endian 16-bit numbers.
// Returns the first record in the file (host path); empty when the file has none or cannot be read.
std::optional<FileVersion> readFileVersion(const QString& hostPath);
// The record bytes for a version, for tools and tests that make versioned files.
QByteArray fileVersionRecord(const FileVersion& version);

} // namespace marvek::platform
