#pragma once

#include "twips.h"

#include <QList>

namespace brackenly {

// The main window's arrangement, in twips. Creation geometry of the controls that nothing
// resizes.
namespace twips {
inline constexpr int kClientWidth = 12960;
inline constexpr int kClientHeight = 10095;
// The outer window is this much larger than its client area (frame, caption, menu bar)
// on the platform the allowances below were made for; we compute from the client area.
inline constexpr int kOuterExtraWidth = 175;
inline constexpr int kOuterExtraHeight = 645;
inline constexpr int kFrameLeft = 120, kFrameTop = 0, kFrameWidth = 12720, kFrameHeight = 650;
inline constexpr int kLblUrlLeft = 120, kLblUrlWidth = 615, kLblUrlHeight = 255;
inline constexpr int kTxtUrlLeft = 840, kTxtUrlHeight = 375;
inline constexpr int kLabelGap = kTxtUrlLeft - kLblUrlLeft - kLblUrlWidth; // label to box
inline constexpr int kBrowserLeft = 120;
inline constexpr int kTabLeft = 120;
inline constexpr int kListLeft = 120, kListTop = 360, kListHeight = 2535;
inline constexpr int kRecordButtonWidth = 1695, kRecordButtonHeight = 495;
inline constexpr int kStatusBarHeight = 375;
inline constexpr int kPanel3Width = 2100;
// The run's progress bar; panel 1 gives up this width and the status bar's gap (pixels)
// while it shows.
inline constexpr int kRunProgressWidth = 1800;
inline constexpr int kStatusGapPixels = 6;
inline constexpr int kShownTabHeight = 2895, kShownTabStrip = 300;
inline constexpr int kHiddenTabHeight = 0, kHiddenTabStrip = 1;
} // namespace twips

enum class LayoutControl
{
    Frame1,
    lblUrl,
    txtUrl,
    wbMyBrowser,
    SSTab1,
    lvwPermanent,
    ListView1,
    cmdEdit,
    cmdDelete,
    cmdSave,
    cmdFill,
    Panel1,
    Panel2,
    Panel3
};
enum class LayoutProperty
{
    Visible,
    Left,
    Top,
    Width,
    Height,
    Focus
};

struct LayoutStep
{
    LayoutControl control;
    LayoutProperty property;
    int value; // twips, or 0/1 for Visible and Focus
    bool operator==(const LayoutStep&) const = default;
};

struct LayoutInput
{
    int clientWidth = twips::kClientWidth; // twips
    int clientHeight = twips::kClientHeight;
    bool maximizeScreen = false;
    int tabHeight = twips::kHiddenTabHeight; // SSTab1 height
    int tabStripHeight = twips::kHiddenTabStrip;
    int txtUrlHeight = twips::kTxtUrlHeight;
    // Widths the window gives lblUrl and the record buttons: the drawn ones, or more where
    // the desktop font needs more to show the captions whole.
    int lblUrlWidth = twips::kLblUrlWidth;
    int recordButtonWidth = twips::kRecordButtonWidth;
};

// Form_Resize as a pure function: the property assignments in the order they are made.
// Empty for a minimised window (client area 0 by 0).
QList<LayoutStep> ComputeLayout(const LayoutInput& in);

} // namespace brackenly
