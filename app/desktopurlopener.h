#pragma once

#include "app/urlopener.h"

// Opens links with the desktop's default applications (xdg-open on Linux).
class DesktopUrlOpener final : public UrlOpener
{
public:
    void open(const QUrl &url) override;
};
