#pragma once

#include "shared/search/SearchIndex.h"

#include <QString>

namespace marvek::search {

// The captions of the search in the user's language: Japanese for the language code "11", else English.
// They are the suite's own texts, beside the catalogue's numbered messages.
struct SearchTexts {
    QString field;    // the search field's hint
    QString caption;  // the panel's title
    QString indexing; // "%1 of %2" manuals being indexed
    QString noHits;   // nothing found
    QString failed;   // the index cannot be used
    QString readOnly; // the index is searched as it is: this user may not bring it up to date
    QString pdfPage;  // "page %1" of a PDF hit
    QString shortcut; // the browser's menu entry
};

SearchTexts LoadSearchTexts(const QString& languageCode);

// The status line under the search field after a search: nothing found, the index read-only, both
// or neither.
QString ResultStatus(const SearchTexts& texts, size_t hits, bool readOnly);

// A hit's title and snippet as rich text: markup escaped, the highlighted words bold.
QString HighlightedHtml(const QString& marked);

// One line of the command-line form: publication number, page path, title, separated by tabs.
QString HitLine(const SearchHit& hit);

} // namespace marvek::search
