#pragma once

#include "platform/UrlOpener.h"

#include <QDesktopServices>

namespace calvane {

/// The desktop's default program for the address (a browser for the help page).
class DesktopUrlOpener final : public UrlOpener
{
public:
    bool openUrl(const QUrl& url) override { return QDesktopServices::openUrl(url); }
};

} // namespace calvane
