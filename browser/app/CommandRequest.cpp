#include "browser/app/CommandRequest.h"

#include <QStringList>

namespace marvek::browser {

CommandRequest splitCommandRequest(const QString& commandLine) {
    const QStringList fields = commandLine.split(QLatin1Char(';'));
    CommandRequest request;
    request.url = fields.value(0);
    request.url.remove(QLatin1Char('"'));
    request.tbrUnVisi = fields.value(1) == u"1";
    request.unVisi = fields.value(2) == u"1";
    request.pubNo = fields.value(3) == u"1";
    return request;
}

} // namespace marvek::browser
