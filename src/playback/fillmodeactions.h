#pragma once

class QAction;

namespace brackenly {

// The four checkable items of the "Playback" menu; their marks are the only copy of the
// fill options.
struct FillModeActions
{
    QAction* mnuPromptFill = nullptr;
    QAction* mnuManualClick = nullptr;
    QAction* mnuAutoClick = nullptr;
    QAction* mnuNoFill = nullptr;
};

} // namespace brackenly
