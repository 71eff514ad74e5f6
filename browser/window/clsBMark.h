#pragma once

#include <QString>

namespace marvek::browser {

// One bookmark of a browser window: the menu caption, the address to open and its number, which
// identifies it within the window (its collection key and menu tag).
class clsBMark {
public:
    clsBMark() = default;
    clsBMark(QString pstrName, QString pstrURL, int plngNumber)
        : m_name(std::move(pstrName)), m_url(std::move(pstrURL)), m_number(plngNumber) {}

    const QString& Name() const { return m_name; }
    const QString& URL() const { return m_url; }
    int Number() const { return m_number; }

    void setName(const QString& pstrName) { m_name = pstrName; }
    void setURL(const QString& pstrURL) { m_url = pstrURL; }
    void setNumber(int plngNumber) { m_number = plngNumber; }

private:
    QString m_name;
    QString m_url;
    int m_number = 0;
};

} // namespace marvek::browser
