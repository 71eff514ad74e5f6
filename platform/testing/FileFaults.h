#pragma once

#include "platform/Files.h"

#include <QString>
#include <functional>

namespace marvek::testing {

// A file fault policy from a function: it is asked before every operation that changes the disk and
// answers whether that operation fails.
class FileFaultFunction : public platform::FileFaultPolicy {
public:
    using Decide = std::function<bool(platform::FileOperation operation, const QString& path)>;
    explicit FileFaultFunction(Decide decide) : m_decide(std::move(decide)) {}
    bool fails(platform::FileOperation operation, const QString& path) override {
        return m_decide(operation, path);
    }

private:
    Decide m_decide;
};

} // namespace marvek::testing
