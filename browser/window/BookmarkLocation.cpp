#include "BookmarkLocation.h"

#include <QVariantMap>
#include <QWebEnginePage>
#include <QWebEngineScript>

namespace marvek::browser {

namespace {

// Frames are searched depth first: each frame's name is compared before its own frames are searched.
// Only an HTML document has frames of its own; the frame of a PDF viewer is not a page frame.
constexpr auto kLocationScript = R"JS(
(function () {
    var result = { frameCount: 0, url: String(document.location.href), title: String(document.title),
                   found: false, frameUrl: '', frameTitle: '', error: '', errorNumber: 0 };
    function search(win) {
        for (var i = 0; i < win.frames.length; i++) {
            var frame = win.frames[i];
            if (String(frame.name).toLowerCase() === 'mainframe') {
                result.frameUrl = String(frame.location.href);
                result.found = true;
                try { result.frameTitle = String(frame.document.title); } catch (e) { result.frameTitle = ''; }
                return true;
            }
            if (search(frame))
                return true;
        }
        return false;
    }
    try {
        var type = String(document.contentType || 'text/html').toLowerCase();
        if (type.indexOf('html') >= 0)
            result.frameCount = window.frames.length;
        if (result.frameCount > 0)
            search(window);
    } catch (e) {
        result.found = false;
        result.frameUrl = '';
        result.frameTitle = '';
        result.error = String((e && e.message) || e);
        result.errorNumber = (e && typeof e.code === 'number') ? e.code : 0;
    }
    return result;
})()
)JS";

} // namespace

QString locationScript() {
    return QString::fromUtf8(kLocationScript);
}

std::optional<DocumentLocation> DocumentLocation::fromVariant(const QVariant& value) {
    if (value.typeId() != QMetaType::QVariantMap)
        return std::nullopt;
    const QVariantMap map = value.toMap();
    DocumentLocation location;
    location.frameCount = map.value(QStringLiteral("frameCount")).toInt();
    location.url = map.value(QStringLiteral("url")).toString();
    location.title = map.value(QStringLiteral("title")).toString();
    location.found = map.value(QStringLiteral("found")).toBool();
    location.frameUrl = map.value(QStringLiteral("frameUrl")).toString();
    location.frameTitle = map.value(QStringLiteral("frameTitle")).toString();
    location.error = map.value(QStringLiteral("error")).toString();
    location.errorNumber = map.value(QStringLiteral("errorNumber")).toInt();
    return location;
}

void PFncBMark_GetLocation(QWebEnginePage& page, std::function<void(std::optional<DocumentLocation>)> done) {
    // The application's own script world: page scripts cannot replace what the search relies on.
    page.runJavaScript(
        locationScript(), QWebEngineScript::ApplicationWorld,
        [done = std::move(done)](const QVariant& value) { done(DocumentLocation::fromVariant(value)); });
}

std::optional<BookmarkTarget> bookmarkTarget(const DocumentLocation& location) {
    BookmarkTarget target;
    if (location.frameCount > 0 && location.found) {
        target = {location.frameTitle, location.frameUrl};
    } else {
        target = {location.title, location.url};
    }
    if (target.url.isEmpty())
        return std::nullopt;
    return target;
}

} // namespace marvek::browser
