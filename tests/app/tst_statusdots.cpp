#include "statusdots.h"

#include <QTest>

using brackenly::AnimateDots;

class tst_StatusDots : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void tick_data();
    void tick();
    void cycleFromNavigationText();
};

void tst_StatusDots::tick_data()
{
    QTest::addColumn<QString>("before");
    QTest::addColumn<QString>("after");
    QTest::newRow("three dots grow by two") << "Going to x..."
                                            << "Going to x.....";
    QTest::newRow("no dots") << "Setting is updated"
                             << "Setting is updated..";
    QTest::newRow("19 dots still grow") << "a" + QString(19, '.') << "a" + QString(21, '.');
    QTest::newRow("20 dots cut back") << "a" + QString(20, '.') << "a.";
    QTest::newRow("21 dots cut back") << "a" + QString(21, '.') << "a.";
    // A URL that ends in dots loses them at the cut-back: they belong to the run.
    QTest::newRow("url dots join the run")
        << "Going to http://x/..." + QString(18, '.') << "Going to http://x/.";
    QTest::newRow("empty counts as a dot run") << ""
                                               << "..";
    QTest::newRow("only dots cycle") << QString(20, '.') << ".";
    QTest::newRow("inner dots untouched") << "a.b"
                                          << "a.b..";
}

void tst_StatusDots::tick()
{
    QFETCH(QString, before);
    QFETCH(QString, after);
    QCOMPARE(AnimateDots(before), after);
}

void tst_StatusDots::cycleFromNavigationText()
{
    const QString base = QStringLiteral("Going to http://h/p");
    QString text = base + QStringLiteral("...");
    for (int tick = 1; tick <= 9; ++tick)
        text = AnimateDots(text);
    QCOMPARE(text, base + QString(21, '.'));
    text = AnimateDots(text);
    QCOMPARE(text, base + QStringLiteral("."));
    text = AnimateDots(text);
    QCOMPARE(text, base + QStringLiteral("..."));
}

QTEST_APPLESS_MAIN(tst_StatusDots)
#include "tst_statusdots.moc"
