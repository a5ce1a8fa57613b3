#pragma once

#include "app/urlopener.h"

#include <QList>
#include <QUrl>

// Records the links a window hands to the desktop; opens nothing.
class RecordingUrlOpener final : public UrlOpener
{
public:
    void open(const QUrl &url) override { opened.append(url); }

    QList<QUrl> opened;
};
