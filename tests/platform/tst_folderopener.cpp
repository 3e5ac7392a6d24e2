#include "desktopfolderopener.h"

#include <QDesktopServices>
#include <QDir>
#include <QFileInfo>
#include <QGuiApplication>
#include <QTest>

using namespace brackenly;

// Takes the place of the desktop's file manager.
class UrlCatcher : public QObject
{
    Q_OBJECT
public:
    QList<QUrl> urls;
public Q_SLOTS:
    void open(const QUrl& url) { urls.append(url); }
};

class TestFolderOpener : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase() { QDesktopServices::setUrlHandler("file", &catcher_, "open"); }
    void cleanupTestCase() { QDesktopServices::unsetUrlHandler("file"); }
    void init() { catcher_.urls.clear(); }

    void folderTextIsOnlyAPath_data();
    void folderTextIsOnlyAPath();
    void emptyFolderOpensNothing();

private:
    UrlCatcher catcher_;
};

void TestFolderOpener::folderTextIsOnlyAPath_data()
{
    QTest::addColumn<QString>("folder");
    QTest::newRow("plain") << "/home/u/Pictures";
    QTest::newRow("command after ;") << "/tmp/x; rm -rf ~";
    QTest::newRow("quotes") << "/tmp/\"it's\" here";
    QTest::newRow("substitution") << "/tmp/$(touch pwned)`id`";
    QTest::newRow("url syntax") << "/tmp/a#b?c=1&d%20e";
    QTest::newRow("option-like") << "-rf";
    QTest::newRow("drive and backslash") << "D:\\My Pics";
    QTest::newRow("non-latin") << "/tmp/Bilder ñ 写真";
    QTest::newRow("trailing separator") << "/tmp/pics/";
#ifndef Q_OS_WIN
    QTest::newRow("double slash first") << "//server/share";
#endif
}

void TestFolderOpener::folderTextIsOnlyAPath()
{
    QFETCH(QString, folder);
    DesktopFolderOpener opener;

    QVERIFY(opener.openFolder(folder));

    QCOMPARE(catcher_.urls.size(), 1);
    const QUrl url = catcher_.urls.first();
    QCOMPARE(url, DesktopFolderOpener::folderUrl(folder));
    QVERIFY(url.isLocalFile());
    QVERIFY(!url.hasQuery());
    QVERIFY(!url.hasFragment());
    QVERIFY(url.host().isEmpty());
    // The file manager gets back exactly the folder, made absolute, nothing more or less.
    QCOMPARE(QDir::cleanPath(url.toLocalFile()),
             QDir::cleanPath(QFileInfo(folder).absoluteFilePath()));
}

void TestFolderOpener::emptyFolderOpensNothing()
{
    DesktopFolderOpener opener;
    QVERIFY(!opener.openFolder(QString()));
    QVERIFY(catcher_.urls.isEmpty());
}

QTEST_MAIN(TestFolderOpener)
#include "tst_folderopener.moc"
