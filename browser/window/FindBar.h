#pragma once

#include <QToolBar>

class QLabel;
class QLineEdit;
class QWebEnginePage;

namespace marvek::browser {

// The small find bar under the page (Ctrl+F): finds text in the page, forwards and backwards,
// highlighting the matches; Escape or its close button hides it and clears the highlight.
class FindBar : public QToolBar {
    Q_OBJECT

public:
    FindBar(QWebEnginePage* page, bool japanese, QWidget* parent);

    // Shows the bar with its text selected, ready for typing.
    void open();
    // Hides the bar and clears the highlight.
    void close();
    // Finds the next (or previous) match of the bar's text.
    void find(bool backward);

    QLineEdit* editor() const { return m_text; }
    // "n/m", or the no-match text, after the last search.
    QString resultText() const;

protected:
    void keyPressEvent(QKeyEvent* event) override;

private:
    QWebEnginePage* m_page;
    QLineEdit* m_text = nullptr;
    QLabel* m_result = nullptr;
    QString m_noMatch;
};

} // namespace marvek::browser
