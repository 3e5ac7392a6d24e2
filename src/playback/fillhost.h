#pragma once

class QString;
class QWidget;

namespace brackenly {

// What the fill-in engine needs from its window.
class FillHost
{
public:
    virtual ~FillHost() = default;
    // The window the fill belongs to. A fill waits for events; when this window is destroyed
    // meanwhile, the fill stops without touching it again.
    virtual QWidget* window() = 0;
    // mnuAutoClick: submit the filled form.
    virtual bool autoClickChecked() = 0;
    // Status bar panel 1.
    virtual void setStatusText(const QString& text) = 0;
};

} // namespace brackenly
