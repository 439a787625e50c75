#pragma once

#include <QUrl>

namespace calvane {

/// Opens a document with the desktop's default program (the help page in a browser).
class UrlOpener
{
public:
    virtual ~UrlOpener() = default;
    /// False when nothing could open it.
    virtual bool openUrl(const QUrl& url) = 0;
};

} // namespace calvane
