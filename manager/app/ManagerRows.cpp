#include "manager/app/ManagerRows.h"

#include <limits>

namespace marvek::manager {

std::string_view ManagerRows::bytes(const Span& span) const {
    return std::string_view(m_bytes).substr(span.offset, span.size);
}

std::optional<ManagerRows::Span> ManagerRows::store(std::string_view text) {
    if (text.size() > std::numeric_limits<quint32>::max() - m_bytes.size())
        return std::nullopt;
    const Span span{static_cast<quint32>(m_bytes.size()), static_cast<quint32>(text.size())};
    m_bytes.append(text);
    return span;
}

void ManagerRows::reserve(size_t rows) {
    m_spans.reserve(rows * FieldCount);
    // Room for the texts of a typical row; only the pages written are taken, and growing copies the block.
    m_bytes.reserve(rows * 64);
}

bool ManagerRows::append(const Fields& fields) {
    const size_t above = m_spans.size() - (empty() ? 0 : FieldCount);
    std::array<Span, FieldCount> spans;
    const size_t bytesBefore = m_bytes.size();
    for (size_t field = 0; field < spans.size(); ++field) {
        if (!empty() && bytes(m_spans[above + field]) == fields[field]) {
            spans[field] = m_spans[above + field];
            continue;
        }
        const std::optional<Span> stored = store(fields[field]);
        if (!stored) {
            m_bytes.resize(bytesBefore);
            return false;
        }
        spans[field] = *stored;
    }
    m_spans.insert(m_spans.end(), spans.begin(), spans.end());
    if (!m_order.empty())
        m_order.push_back(quint32(size() - 1));
    return true;
}

bool ManagerRows::setOrder(std::vector<quint32> order) {
    if (order.size() != size())
        return false;
    std::vector<bool> seen(order.size());
    for (const quint32 row : order) {
        if (row >= seen.size() || seen[row])
            return false;
        seen[row] = true;
    }
    m_order = std::move(order);
    return true;
}

QString ManagerRows::text(size_t row, int field) const {
    const std::string_view text = bytes(m_spans[spansOf(row) + static_cast<size_t>(field)]);
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

ManagerRow ManagerRows::row(size_t row) const {
    ManagerRow result;
    for (int column = 0; column < ManagerColumns; ++column)
        result.columns[static_cast<size_t>(column)] = text(row, column);
    result.colourFlag = text(row, ColourFlagField);
    return result;
}

void ManagerRows::setText(size_t row, int field, const QString& text) {
    const QByteArray utf8 = text.toUtf8();
    if (const std::optional<Span> stored = store(std::string_view(utf8.constData(), size_t(utf8.size()))))
        m_spans[spansOf(row) + static_cast<size_t>(field)] = *stored;
}

} // namespace marvek::manager
