#pragma once

#include "fillhost.h"

#include <QPointer>
#include <QString>
#include <QStringList>
#include <QWidget>

namespace brackenly {

// A fill host for tests: a switch for auto click and a log of status texts.
class RecordingFillHost : public FillHost
{
public:
    QWidget* window() override
    {
        ++calls;
        return windowWidget;
    }
    bool autoClickChecked() override
    {
        ++calls;
        return autoClick;
    }
    void setStatusText(const QString& text) override
    {
        ++calls;
        statusTexts << text;
    }

    QPointer<QWidget> windowWidget;
    bool autoClick = false;
    QStringList statusTexts;
    int calls = 0;
};

} // namespace brackenly
