#include "frmbrowser.h"

#include "browsermenus.h"
#include "recordpanel.h"
#include "windowlayout.h"

#include <QAction>
#include <QEvent>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QStatusBar>
#include <QTabWidget>
#include <algorithm>

// The main window's arrangement: the record panes shown or hidden, and every control moved
// to where the layout computes it for the window's size.

namespace brackenly {

using namespace twips;

void frmBrowser::ShowRecordPanes()
{
    tabHeightTw_ = kShownTabHeight;
    tabStripTw_ = kShownTabStrip;
    QRect g = records_->SSTab1->geometry();
    g.setHeight(toPixels(tabHeightTw_));
    records_->SSTab1->setGeometry(g);
    records_->SSTab1->setVisible(true);
    for (QWidget* b :
         {records_->cmdEdit, records_->cmdDelete, records_->cmdSave, records_->cmdFill})
        b->setVisible(true);
}

void frmBrowser::HideRecordPanes()
{
    records_->SSTab1->setVisible(false);
    tabHeightTw_ = kHiddenTabHeight;
    tabStripTw_ = kHiddenTabStrip;
    QRect g = records_->SSTab1->geometry();
    g.setHeight(0);
    records_->SSTab1->setGeometry(g);
    for (QWidget* b :
         {records_->cmdEdit, records_->cmdDelete, records_->cmdSave, records_->cmdFill})
        b->setVisible(false);
}

void frmBrowser::Form_Resize()
{
    if (!client_)
        return;
    // The status bar is docked at the bottom of the client area.
    StatusBar1->setGeometry(0, client_->height() - toPixels(kStatusBarHeight), client_->width(),
                            toPixels(kStatusBarHeight));
    LayoutInput in;
    if (!isMinimized()) {
        in.clientWidth = fromPixels(client_->width());
        in.clientHeight = fromPixels(client_->height());
    } else {
        in.clientWidth = in.clientHeight = 0;
    }
    in.maximizeScreen = menus_->mnuMaxScreen->isChecked();
    in.tabHeight = tabHeightTw_;
    in.tabStripHeight = tabStripTw_;
    in.lblUrlWidth = lblUrlTw_;
    in.recordButtonWidth = recordButtonTw_;
    bool stop = false;
    for (const LayoutStep& step : ComputeLayout(in)) {
        applyLayoutStep(step.control, step.property, step.value, &stop);
        if (stop)
            break; // like a failed assignment: the rest keep their places
    }
}

void frmBrowser::applyLayoutStep(LayoutControl c, LayoutProperty p, int value, bool* stop)
{
    using C = LayoutControl;
    using P = LayoutProperty;
    if ((p == P::Width || p == P::Height) && value < 0) {
        *stop = true;
        return;
    }
    QWidget* w = layoutWidgets_.value(c);
    if (!w)
        return;
    QRect g = w->geometry();
    switch (p) {
    case P::Visible:
        w->setVisible(value != 0);
        break;
    case P::Focus:
        if (w->isVisible())
            w->setFocus();
        break;
    case P::Left:
        g.moveLeft(toPixels(value));
        w->setGeometry(g);
        break;
    case P::Top:
        g.moveTop(toPixels(value));
        w->setGeometry(g);
        break;
    case P::Width:
        if (c == C::Panel1 && !prgRun->isHidden())
            w->setFixedWidth(
                std::max(0, toPixels(value) - toPixels(kRunProgressWidth) - kStatusGapPixels));
        else if (c == C::Panel1 || c == C::Panel2 || c == C::Panel3)
            w->setFixedWidth(toPixels(value));
        else {
            g.setWidth(toPixels(value));
            w->setGeometry(g);
        }
        break;
    case P::Height:
        g.setHeight(toPixels(value));
        w->setGeometry(g);
        break;
    }
}

void frmBrowser::resizeEvent(QResizeEvent* event)
{
    QMainWindow::resizeEvent(event);
    Form_Resize();
}

void frmBrowser::changeEvent(QEvent* event)
{
    QMainWindow::changeEvent(event);
    if (event->type() == QEvent::WindowStateChange && !isMinimized())
        Form_Resize();
}

} // namespace brackenly
