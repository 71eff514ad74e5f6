#pragma once

#include <QString>
#include <stdexcept>

namespace marvek::cdbuilder {

// Any failure of the builder: bad content, a file that cannot be written. The tool reports it and
// exits with a failure status; nothing half-built is left marked as complete.
class BuildError : public std::runtime_error {
public:
    explicit BuildError(const QString& message) : std::runtime_error(message.toStdString()) {}
};

} // namespace marvek::cdbuilder
