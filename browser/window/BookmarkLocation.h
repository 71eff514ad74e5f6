#pragma once

#include <QString>
#include <QVariant>
#include <functional>
#include <optional>

class QWebEnginePage;

namespace marvek::browser {

// What the bookmark script reads from the document a page shows. Qt WebEngine has no frame API in
// C++, so the frames are walked by a script; across file:// frames the script may read every frame.
struct DocumentLocation {
    int frameCount = 0; // frames of the top document; 0 for a document that is not HTML (a PDF)
    QString url;        // the top document's address and title
    QString title;
    bool found = false; // a frame named "mainFrame" (any case) was found, depth first
    QString frameUrl;
    QString frameTitle; // empty when the frame's title cannot be read
    QString error;      // the frame search failed: its description and number
    int errorNumber = 0;

    // The script's result; empty when the script gave nothing usable.
    static std::optional<DocumentLocation> fromVariant(const QVariant& value);
};

struct BookmarkTarget {
    QString name;
    QString url;
};

// The script that reads a DocumentLocation.
QString locationScript();

// Reads the location of the document shown by page. done runs later, on the UI thread, with the
// location, or with nothing when the page could not run the script (it may never run when the page
// goes away first).
void PFncBMark_GetLocation(QWebEnginePage& page, std::function<void(std::optional<DocumentLocation>)> done);

// The bookmark for a document: for a framed page the frame named "mainFrame" (its address and its
// title), for any other page, and for a framed page without such a frame, the document itself.
// Empty when there is no address to keep.
std::optional<BookmarkTarget> bookmarkTarget(const DocumentLocation& location);

} // namespace marvek::browser
