#include "windowlayout.h"

#include <QTest>

using namespace brackenly;
using C = LayoutControl;
using P = LayoutProperty;

Q_DECLARE_METATYPE(brackenly::LayoutControl)
Q_DECLARE_METATYPE(brackenly::LayoutProperty)

namespace {

// The last value a layout assigns to a control's property, or -1 when it assigns none.
int valueOf(const QList<LayoutStep>& steps, C control, P property)
{
    int value = -1;
    for (const LayoutStep& s : steps)
        if (s.control == control && s.property == property)
            value = s.value;
    return value;
}

LayoutInput input(bool maximize, bool panesShown, int extraWidth = 0)
{
    LayoutInput in;
    in.clientWidth = twips::kClientWidth + extraWidth;
    in.maximizeScreen = maximize;
    in.tabHeight = panesShown ? twips::kShownTabHeight : twips::kHiddenTabHeight;
    in.tabStripHeight = panesShown ? twips::kShownTabStrip : twips::kHiddenTabStrip;
    return in;
}

} // namespace

class tst_WindowLayout : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void creationFigures_data()
    {
        QTest::addColumn<bool>("maximize");
        QTest::addColumn<bool>("panes");
        QTest::addColumn<C>("control");
        QTest::addColumn<P>("property");
        QTest::addColumn<int>("expected");
        const auto row = [](const char* name, bool max, bool panes, C c, P p, int expected) {
            QTest::newRow(name) << max << panes << c << p << expected;
        };
        // With the panes shown the page gets exactly its creation height.
        row("shown: page height", false, true, C::wbMyBrowser, P::Height, 5295);
        row("shown: buttons left", false, true, C::cmdEdit, P::Left, 11160);
        row("hidden: page top", false, false, C::wbMyBrowser, P::Top, 1225);
        row("hidden: page height", false, false, C::wbMyBrowser, P::Height, 8489);
        row("hidden: fill top", false, false, C::cmdFill, P::Top, 9914 + 3 * 595);
        row("max: page top", true, false, C::wbMyBrowser, P::Top, 0);
        // Maximize gives the page the address strip's room (650 + 500); the panes take theirs.
        row("max: page height", true, false, C::wbMyBrowser, P::Height, 8489 + 1150);
        row("max, shown: page height", true, true, C::wbMyBrowser, P::Height, 5295 + 1150);
        row("max: strip hidden", true, false, C::Frame1, P::Visible, 0);
        row("max: address box not focused", true, false, C::txtUrl, P::Focus, -1);
        row("max off: strip shown", false, false, C::Frame1, P::Visible, 1);
        row("max off: address box focused", false, false, C::txtUrl, P::Focus, 1);
    }
    void creationFigures()
    {
        QFETCH(bool, maximize);
        QFETCH(bool, panes);
        QFETCH(C, control);
        QFETCH(P, property);
        QFETCH(int, expected);
        QCOMPARE(valueOf(ComputeLayout(input(maximize, panes)), control, property), expected);
    }
    void wideningMovesOnlyTheRightEdge()
    {
        const int extra = 1500;
        const auto narrow = ComputeLayout(input(false, true));
        const auto wide = ComputeLayout(input(false, true, extra));
        for (auto [c, p] : {std::pair{C::wbMyBrowser, P::Width}, {C::cmdFill, P::Left}})
            QCOMPARE(valueOf(wide, c, p) - valueOf(narrow, c, p), extra);
        QCOMPARE(valueOf(wide, C::Panel3, P::Width), 2100);
    }
};

QTEST_APPLESS_MAIN(tst_WindowLayout)
#include "tst_windowlayout.moc"
