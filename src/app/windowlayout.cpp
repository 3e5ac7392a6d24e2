#include "windowlayout.h"

#include <cmath>

namespace brackenly {

using namespace twips;

QList<LayoutStep> ComputeLayout(const LayoutInput& in)
{
    QList<LayoutStep> steps;
    if (in.clientWidth == 0 && in.clientHeight == 0)
        return steps;

    using C = LayoutControl;
    using P = LayoutProperty;
    auto set = [&steps](C c, P p, int v) { steps.append({c, p, v}); };

    const int W = in.clientWidth + kOuterExtraWidth;
    const int H = in.clientHeight + kOuterExtraHeight;
    const int fTop = kFrameTop, fHeight = kFrameHeight;

    int browserTop = 0, browserHeight = 0;
    if (in.maximizeScreen) {
        set(C::Frame1, P::Visible, 0);
        set(C::lblUrl, P::Visible, 0);
        set(C::txtUrl, P::Visible, 0);
        browserTop = fTop;
        set(C::wbMyBrowser, P::Top, browserTop);
        browserHeight = H - in.tabHeight - in.tabStripHeight - 1100;
        set(C::wbMyBrowser, P::Height, browserHeight);
    } else {
        set(C::Frame1, P::Visible, 1);
        set(C::lblUrl, P::Visible, 1);
        set(C::txtUrl, P::Visible, 1);
        set(C::lblUrl, P::Top, fTop + fHeight + 150);
        set(C::txtUrl, P::Top, fTop + fHeight + 100);
        browserTop = fTop + fHeight + in.txtUrlHeight + 200;
        set(C::wbMyBrowser, P::Top, browserTop);
        browserHeight = H - fHeight - in.tabHeight - in.tabStripHeight - 1600;
        set(C::wbMyBrowser, P::Height, browserHeight);
    }
    // Whole twips already; the rounding rule (half to even) only matters for fractions.
    set(C::txtUrl, P::Width, static_cast<int>(std::nearbyint(double(W - in.lblUrlWidth - 520))));
    set(C::wbMyBrowser, P::Width, W - 400);
    const int tabTop = browserTop + browserHeight + 200;
    set(C::SSTab1, P::Top, tabTop);
    const int tabWidth = W - in.recordButtonWidth - 500;
    set(C::SSTab1, P::Width, tabWidth);
    set(C::lvwPermanent, P::Width, tabWidth - 250);
    set(C::ListView1, P::Width, tabWidth - 250);
    const int editTop = tabTop;
    const int deleteTop = editTop + kRecordButtonHeight + 100;
    const int saveTop = deleteTop + kRecordButtonHeight + 100;
    const int fillTop = saveTop + kRecordButtonHeight + 100;
    set(C::cmdEdit, P::Top, editTop);
    set(C::cmdDelete, P::Top, deleteTop);
    set(C::cmdSave, P::Top, saveTop);
    set(C::cmdFill, P::Top, fillTop);
    const int buttonsLeft = kTabLeft + tabWidth + 100;
    for (C c : {C::cmdEdit, C::cmdDelete, C::cmdSave, C::cmdFill})
        set(c, P::Left, buttonsLeft);
    if (!in.maximizeScreen)
        set(C::txtUrl, P::Focus, 1);
    const int panelWidth = (W - kPanel3Width) / 2;
    set(C::Panel1, P::Width, panelWidth);
    set(C::Panel2, P::Width, panelWidth);
    set(C::Panel3, P::Width, kPanel3Width);
    return steps;
}

} // namespace brackenly
