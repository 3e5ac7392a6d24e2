#include "codepage1252.h"
#include "recordfile.h"
#include "recorditems.h"
#include "recordlist.h"
#include "recordpanel.h"
#include "recordtext.h"
#include "scriptedprompt.h"
#include "sessionhost.h"

#include <QDir>
#include <QElapsedTimer>
#include <QHeaderView>
#include <QPointer>
#include <QPushButton>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <memory>
#include <sys/stat.h>

using namespace brackenly;

namespace {

class FakeHost : public SessionHost
{
public:
    QWidget* hostWindow() override { return window; }
    Prompt& hostPrompt() override { return prompt; }
    QString hostProgramFolder() const override { return programFolder; }
    void setStatusText(const QString& text) override { statuses << text; }
    QString saveFolder() const override { return gstrSaveFolder; }
    void setSaveFolder(const QString& folder) override { gstrSaveFolder = folder; }
    void setHomePageBox(const QString& text) override { txtHome = text; }
    void setImageFolderBox(const QString& text) override { txtImageFolder = text; }

    QString status() const { return statuses.isEmpty() ? QString() : statuses.last(); }

    QPointer<QWidget> window;
    ScriptedPrompt prompt;
    QString programFolder;
    QStringList statuses;
    QString gstrSaveFolder;
    QString txtHome = QStringLiteral("built-in");
    QString txtImageFolder;
};

bool writeBytes(const QString& path, const QByteArray& bytes)
{
    QFile f(path);
    return f.open(QIODevice::WriteOnly) && f.write(bytes) == bytes.size();
}

QByteArray readBytes(const QString& path)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return QByteArray("<unreadable>");
    return f.readAll();
}

Record rec(const QString& session, const QString& url)
{
    return Record{"Form", session, url, "go.asp", "a=1&b=2", "", "main"};
}

QStringList names(const QTreeWidget* list)
{
    QStringList result;
    for (int i = 0; i < list->topLevelItemCount(); ++i)
        result << list->topLevelItem(i)->text(0);
    return result;
}

} // namespace

class TestRecordPanel : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void init();
    void cleanup();

    void controls();
    void firstStartCreatesFolders();
    void loadsOnlyNonEmptyXmlFiles();
    void settingsFileByType_data();
    void settingsFileByType();
    void emptyImageFolderGetsDefault();
    void reloadKeepsSaveFolder();
    void loadFailures_data();
    void loadFailures();
    void loadResetsTabsAndTemporaryList();
    void duplicateKeysOnLoad();
    void loadsSortFlipAndSelect();
    void columnClickSortsPermanentOnly();
    void tabSwitch_data();
    void tabSwitch();
    void moveRecord_data();
    void moveRecord();
    void moveWritesExactFile();
    void moveWithQueryVariantWritesSecondFile();
    void moveFailureKeepsTemporaryRecord();
    void moveBeforeAnyLoadWritesNothing();
    void nothingSelected_data();
    void nothingSelected();
    void deletePermanent_data();
    void deletePermanent();
    void deleteTemporaryAsksNothing();
    void deleteKeylessDuplicate();
    void deleteAbandonedWhenListChangesDuringQuestion();
    void windowClosedDuringLoad();
    void reloadDuringLoad();

private:
    QString sessionDir() const { return QDir(dir_->path()).filePath("session"); }
    QString sessionFile(const QString& name) const { return QDir(sessionDir()).filePath(name); }
    void writeSession(const QString& name, const Record& r)
    {
        QVERIFY(QDir().mkpath(sessionDir()));
        QVERIFY(WriteTextFile(sessionFile(name), BuildRecordXml(r)));
    }
    void addTemporary(const Record& r)
    {
        AddRecord(*panel_->ListView1, r, panel_->counters);
        panel_->SSTab1->setCurrentIndex(1);
        panel_->ListView1->setCurrentItem(
            panel_->ListView1->topLevelItem(panel_->ListView1->topLevelItemCount() - 1));
        panel_->counters.gbRecordChanged = false;
    }

    std::unique_ptr<QTemporaryDir> dir_;
    std::unique_ptr<FakeHost> host_;
    QPointer<QWidget> window_;
    QPointer<RecordPanel> panel_;
};

void TestRecordPanel::init()
{
    dir_ = std::make_unique<QTemporaryDir>();
    QVERIFY(dir_->isValid());
    host_ = std::make_unique<FakeHost>();
    host_->programFolder = dir_->path();
    window_ = new QWidget;
    host_->window = window_;
    panel_ = new RecordPanel(window_, *host_);
}

void TestRecordPanel::cleanup()
{
    delete window_;
    QCOMPARE(host_->prompt.unanswered(), 0);
    host_.reset();
    dir_.reset();
}

void TestRecordPanel::controls()
{
    QCOMPARE(panel_->parent(), window_.data());
    QCOMPARE(panel_->SSTab1->count(), 2);
    QCOMPARE(panel_->SSTab1->tabText(0), QStringLiteral("Permanent Record"));
    QCOMPARE(panel_->SSTab1->tabText(1), QStringLiteral("Temporary Record"));
    QVERIFY(panel_->SSTab1->widget(0)->isAncestorOf(panel_->lvwPermanent));
    QVERIFY(panel_->SSTab1->widget(1)->isAncestorOf(panel_->ListView1));
    const QList<std::pair<QPushButton*, QString>> buttons{
        {panel_->cmdEdit, "Edit"},
        {panel_->cmdDelete, "Delete"},
        {panel_->cmdSave, "Move Record to Permanent"},
        {panel_->cmdFill, "Go to"}};
    const QStringList objectNames{"cmdEdit", "cmdDelete", "cmdSave", "cmdFill"};
    for (int i = 0; i < buttons.size(); ++i) {
        QCOMPARE(buttons[i].first->parentWidget(), window_.data());
        QCOMPARE(buttons[i].first->text(), buttons[i].second);
        QCOMPARE(buttons[i].first->accessibleName(), buttons[i].second);
        QCOMPARE(buttons[i].first->objectName(), objectNames[i]);
    }
    QCOMPARE(window_->findChild<QTabWidget*>("SSTab1"), panel_->SSTab1);
    QCOMPARE(window_->findChild<RecordList*>("lvwPermanent"), panel_->lvwPermanent);
    QCOMPARE(window_->findChild<RecordList*>("ListView1"), panel_->ListView1);
    QCOMPARE(panel_->GetActiveRecordList(), panel_->lvwPermanent);
    // "Edit" has no action: clicking it changes nothing.
    panel_->cmdEdit->click();
    QVERIFY(host_->statuses.isEmpty());
    QVERIFY(host_->prompt.questions().isEmpty());
}

void TestRecordPanel::firstStartCreatesFolders()
{
    panel_->counters.gbRecordChanged = true;
    panel_->CallLoadPermanentRecord();
    QVERIFY(QFileInfo(sessionDir()).isDir());
    QCOMPARE(panel_->gstrSessionPath, sessionDir());
    QCOMPARE(host_->status(), QStringLiteral("0 Permanent Record"));
    const QString image = QDir(dir_->path()).filePath("Image");
    QCOMPARE(host_->gstrSaveFolder, image);
    QCOMPARE(host_->txtImageFolder, image);
    QVERIFY(QFileInfo(image).isDir());
    QCOMPARE(host_->txtHome, QStringLiteral("built-in"));
    QCOMPARE(panel_->lvwPermanent->columnCount(), 7);
    QCOMPARE(panel_->ListView1->columnCount(), 7);
    QCOMPARE(panel_->lvwPermanent->topLevelItemCount(), 0);
    QVERIFY(!panel_->counters.gbRecordChanged);
}

void TestRecordPanel::loadsOnlyNonEmptyXmlFiles()
{
    writeSession("lower.xml", rec("lower", "http://lower/"));
    writeSession("UPPER.XML", rec("upper", "http://upper/"));
    writeSession("Mixed.XmL", rec("mixed", "http://mixed/"));
    writeSession(".xml", rec("hidden", "http://"));
    writeSession("other.txt", rec("txt", "http://txt/"));
    writeSession("noext", rec("noext", "http://noext/"));
    writeSession("x.xml.bak", rec("bak", "http://bak/"));
    QVERIFY(writeBytes(sessionFile("empty.xml"), QByteArray()));
    QVERIFY(QDir(sessionDir()).mkdir("folder.xml"));
    QVERIFY(writeBytes(sessionFile("folder.xml/inner.xml"),
                       BuildRecordXml(rec("inner", "http://in/")).toLatin1()));
    QCOMPARE(::mkfifo(QFile::encodeName(sessionFile("pipe.xml")).constData(), 0600), 0);
    {
        QFile huge(sessionFile("huge.xml"));
        QVERIFY(huge.open(QIODevice::WriteOnly));
        QVERIFY(huge.write(BuildRecordXml(rec("huge", "http://huge/")).toLatin1()) > 0);
        QVERIFY(huge.resize(100LL * 1024 * 1024));
    }
    QByteArray binary;
    for (int i = 0; i < 2000; ++i)
        binary.append(char((i * 131 + 7) & 0xFF));
    QVERIFY(writeBytes(sessionFile("binary.xml"), binary));
    QVERIFY(writeBytes(sessionFile("plain.xml"), "no elements at all"));
    QVERIFY(writeBytes(sessionFile("bom.xml"),
                       "\xEF\xBB\xBF" + BuildRecordXml(rec("bom", "http://bom/")).toLatin1()));
    QVERIFY(writeBytes(sessionFile("markup.xml"),
                       "<Type>Form</Type><Session>a<b&c</Session><Url>http://m/</Url>"
                       "<Header>L1\r\nL2</Header>"));

    QElapsedTimer timer;
    timer.start();
    panel_->CallLoadPermanentRecord();
    QVERIFY2(timer.elapsed() < 5000, "a bad file stalled the load");

    QStringList loaded = names(panel_->lvwPermanent);
    loaded.sort();
    // binary.xml and plain.xml have no elements: empty Form records.
    QCOMPARE(loaded, (QStringList{"", "", "a<b&c", "bom", "hidden", "lower", "mixed", "upper"}));
    QCOMPARE(host_->status(), QStringLiteral("8 Permanent Record"));
    QCOMPARE(panel_->counters.glngNoOfPermanentSession, 8);
    QTreeWidgetItem* markup = nullptr;
    for (int i = 0; i < panel_->lvwPermanent->topLevelItemCount(); ++i) {
        if (panel_->lvwPermanent->topLevelItem(i)->text(0) == "a<b&c")
            markup = panel_->lvwPermanent->topLevelItem(i);
    }
    QVERIFY(markup);
    Record r;
    ReadRecordItem(markup, r);
    QCOMPARE(r.Header, QStringLiteral("L1\r\nL2"));
    QCOMPARE(r.Type, QStringLiteral("Form"));
}

void TestRecordPanel::settingsFileByType_data()
{
    QTest::addColumn<QString>("type");
    QTest::addColumn<QString>("fileName");
    QTest::newRow("Home") << "Home"
                          << "Quillmark.xml";
    QTest::newRow("capitals") << "HOME"
                              << "Quillmark.xml";
    QTest::newRow("small letters") << "home"
                                   << "Quillmark.xml";
    QTest::newRow("any file name") << "hOmE"
                                   << "zz.XML";
}

void TestRecordPanel::settingsFileByType()
{
    QFETCH(QString, type);
    QFETCH(QString, fileName);
    writeSession("r.xml", rec("record", "http://r/"));
    const QString folder = QDir(dir_->path()).filePath("pics <&>");
    QVERIFY(QDir(sessionDir()).exists());
    const QString text = "<?xml version=\"1.0\"?>\r\n<Quillmark>\r\n    <Type>" + type +
                         "</Type>\r\n    <Home>http://home/?a=1&b=2</Home>\r\n    <ImageFolder>" +
                         folder + "</ImageFolder>\r\n</Quillmark>";
    QVERIFY(WriteTextFile(sessionFile(fileName), text));
    panel_->CallLoadPermanentRecord();
    QCOMPARE(names(panel_->lvwPermanent), QStringList{"record"});
    QCOMPARE(host_->status(), QStringLiteral("1 Permanent Record"));
    QCOMPARE(host_->gstrSaveFolder, folder);
    QCOMPARE(host_->txtImageFolder, folder);
    QCOMPARE(host_->txtHome, QStringLiteral("http://home/?a=1&b=2"));
    // A folder named in the settings is not created at start-up.
    QVERIFY(!QFileInfo::exists(folder));
}

void TestRecordPanel::emptyImageFolderGetsDefault()
{
    QVERIFY(QDir().mkpath(sessionDir()));
    QVERIFY(WriteTextFile(SettingsFilePath(sessionDir()), BuildSettingsXml("http://h/", "")));
    panel_->CallLoadPermanentRecord();
    const QString image = QDir(dir_->path()).filePath("Image");
    QCOMPARE(host_->txtHome, QStringLiteral("http://h/"));
    QCOMPARE(host_->gstrSaveFolder, image);
    QCOMPARE(host_->txtImageFolder, image);
    QVERIFY(QFileInfo(image).isDir());
}

void TestRecordPanel::reloadKeepsSaveFolder()
{
    QVERIFY(QDir().mkpath(sessionDir()));
    QVERIFY(WriteTextFile(SettingsFilePath(sessionDir()), BuildSettingsXml("h", "/kept")));
    panel_->CallLoadPermanentRecord();
    QCOMPARE(host_->gstrSaveFolder, QStringLiteral("/kept"));
    QVERIFY(QFile::remove(SettingsFilePath(sessionDir())));
    panel_->CallLoadPermanentRecord();
    QCOMPARE(host_->gstrSaveFolder, QStringLiteral("/kept"));
    QVERIFY(!QFileInfo::exists(QDir(dir_->path()).filePath("Image")));
}

void TestRecordPanel::loadFailures_data()
{
    QTest::addColumn<QString>("blockingFile");
    QTest::addColumn<int>("loaded");
    // The session folder cannot be made: nothing is read, no status.
    QTest::newRow("session is a file") << "session" << 0;
    // The default image folder cannot be made: the records stay, status and selection skipped.
    QTest::newRow("Image is a file") << "Image" << 1;
}

void TestRecordPanel::loadFailures()
{
    QFETCH(QString, blockingFile);
    QFETCH(int, loaded);
    if (blockingFile != "session")
        writeSession("r.xml", rec("r", "http://r/"));
    QVERIFY(writeBytes(QDir(dir_->path()).filePath(blockingFile), "x"));
    AddRecord(*panel_->ListView1, rec("temp", "http://t/"), panel_->counters);
    host_->statuses << "before";
    panel_->CallLoadPermanentRecord();
    QCOMPARE(host_->status(), QStringLiteral("before"));
    QCOMPARE(panel_->ListView1->topLevelItemCount(), 0);
    QCOMPARE(panel_->lvwPermanent->topLevelItemCount(), loaded);
    QVERIFY(!panel_->counters.gbRecordChanged);
    QVERIFY(panel_->lvwPermanent->selectedItems().isEmpty());
}

void TestRecordPanel::loadResetsTabsAndTemporaryList()
{
    addTemporary(rec("t", "http://t/"));
    QCOMPARE(panel_->glngCurTab, 1);
    QVERIFY(panel_->cmdSave->isEnabled());
    QVERIFY(!panel_->cmdFill->isEnabled());
    panel_->CallLoadPermanentRecord();
    QCOMPARE(panel_->ListView1->topLevelItemCount(), 0);
    QCOMPARE(panel_->glngCurTab, 0);
    QVERIFY(!panel_->cmdSave->isEnabled());
    QVERIFY(panel_->cmdFill->isEnabled());
    QCOMPARE(panel_->SSTab1->currentIndex(), 1); // the visible tab is left alone
    QCOMPARE(panel_->GetActiveRecordList(), panel_->lvwPermanent);
}

void TestRecordPanel::duplicateKeysOnLoad()
{
    writeSession("one.xml", rec("one", "http://a/x?1"));
    writeSession("two.xml", rec("two", "HTTP://A/X?2"));
    panel_->CallLoadPermanentRecord();
    QCOMPARE(host_->status(), QStringLiteral("2 Permanent Record"));
    QCOMPARE(panel_->lvwPermanent->topLevelItemCount(), 2);
    QStringList keys;
    for (int i = 0; i < 2; ++i)
        keys << RecordList::itemKey(panel_->lvwPermanent->topLevelItem(i));
    keys.sort();
    QCOMPARE(keys, (QStringList{"", "http://a/x"}));
}

void TestRecordPanel::loadsSortFlipAndSelect()
{
    for (const char* n : {"bravo", "Alpha", "charlie"})
        writeSession(QString::fromLatin1(n) + ".xml", rec(n, QStringLiteral("http://") + n));
    panel_->CallLoadPermanentRecord();
    QCOMPARE(names(panel_->lvwPermanent), (QStringList{"Alpha", "bravo", "charlie"}));
    QCOMPARE(panel_->lvwPermanent->selectedItems().size(), 1);
    panel_->CallLoadPermanentRecord();
    QCOMPARE(names(panel_->lvwPermanent), (QStringList{"charlie", "bravo", "Alpha"}));
    // Loaded in the previous order, so the first item selected is the first of that order.
    QCOMPARE(panel_->lvwPermanent->selectedItems().value(0)->text(0), QStringLiteral("Alpha"));
    panel_->CallLoadPermanentRecord();
    QCOMPARE(names(panel_->lvwPermanent), (QStringList{"Alpha", "bravo", "charlie"}));
}

void TestRecordPanel::columnClickSortsPermanentOnly()
{
    writeSession("a.xml", rec("a", "http://z/"));
    writeSession("b.xml", rec("b", "http://y/"));
    writeSession("c.xml", rec("c", "http://x/"));
    panel_->CallLoadPermanentRecord();
    QVERIFY(panel_->lvwPermanent->header()->sectionsClickable());
    QVERIFY(!panel_->ListView1->header()->sectionsClickable());
    // Ascending after the load; a click flips the direction whichever column it is.
    Q_EMIT panel_->lvwPermanent->header()->sectionClicked(2);
    QCOMPARE(names(panel_->lvwPermanent), (QStringList{"a", "b", "c"})); // Url descending
    Q_EMIT panel_->lvwPermanent->header()->sectionClicked(2);
    QCOMPARE(names(panel_->lvwPermanent), (QStringList{"c", "b", "a"}));
    panel_->lvwPermanent_ColumnClick(1);
    QCOMPARE(names(panel_->lvwPermanent), (QStringList{"c", "b", "a"})); // Name descending
}

void TestRecordPanel::tabSwitch_data()
{
    QTest::addColumn<int>("previousTab");
    QTest::addColumn<int>("curTab");
    QTest::addColumn<bool>("saveEnabled");
    QTest::addColumn<bool>("fillEnabled");
    QTest::newRow("to temporary") << 0 << 1 << true << false;
    QTest::newRow("to permanent") << 1 << 0 << false << true;
}

void TestRecordPanel::tabSwitch()
{
    QFETCH(int, previousTab);
    QFETCH(int, curTab);
    QFETCH(bool, saveEnabled);
    QFETCH(bool, fillEnabled);
    panel_->SSTab1->setCurrentIndex(previousTab);
    panel_->SSTab1->setCurrentIndex(1 - previousTab);
    QCOMPARE(panel_->glngCurTab, curTab);
    QCOMPARE(panel_->cmdSave->isEnabled(), saveEnabled);
    QCOMPARE(panel_->cmdFill->isEnabled(), fillEnabled);
    QCOMPARE(panel_->GetActiveRecordList(), curTab ? panel_->ListView1 : panel_->lvwPermanent);
}

void TestRecordPanel::moveRecord_data()
{
    QTest::addColumn<QString>("existingName"); // "" = no permanent record of that key
    QTest::addColumn<QString>("tempName");
    QTest::addColumn<QString>("permanentName");
    QTest::addColumn<int>("count");
    QTest::addColumn<int>("bookmark");
    QTest::newRow("generated name") << "" << kSysgenName << "Session1" << 1 << 1;
    QTest::newRow("own name") << ""
                              << "Mine"
                              << "Mine" << 1 << 0;
    QTest::newRow("overwrite keeps the name") << "Old" << kSysgenName << "Old" << 1 << 0;
    QTest::newRow("overwrite renames") << "Old"
                                       << "New"
                                       << "New" << 1 << 0;
}

void TestRecordPanel::moveRecord()
{
    QFETCH(QString, existingName);
    QFETCH(QString, tempName);
    QFETCH(QString, permanentName);
    QFETCH(int, count);
    QFETCH(int, bookmark);
    if (!existingName.isEmpty())
        writeSession("a_x.xml", rec(existingName, "http://a/x"));
    panel_->CallLoadPermanentRecord();
    host_->statuses.clear();
    Record temp = rec(tempName, "http://A/x");
    temp.Postdata = "changed=1";
    addTemporary(temp);
    panel_->cmdSave->click();

    QCOMPARE(panel_->ListView1->topLevelItemCount(), 0);
    QCOMPARE(names(panel_->lvwPermanent), QStringList{permanentName});
    QCOMPARE(panel_->counters.glngNoOfPermanentSession, count);
    QCOMPARE(panel_->counters.lngBookmarkId, bookmark);
    QVERIFY(panel_->counters.gbRecordChanged);
    QVERIFY(host_->statuses.isEmpty());
    QString text;
    QVERIFY(ReadTextFile(sessionFile("A_x.xml"), text));
    Record stored;
    ParseRecordXml(text, stored);
    Record expected = temp;
    expected.Session = permanentName;
    QCOMPARE(stored, expected);
    Record inList;
    ReadRecordItem(panel_->lvwPermanent->topLevelItem(0), inList);
    QCOMPARE(inList, expected);
}

void TestRecordPanel::moveWritesExactFile()
{
    panel_->CallLoadPermanentRecord();
    addTemporary(Record{"Form", kSysgenName, "http://h.example/f?x=1", "post.asp", "a=%3C&b=<>",
                        "H1\r\nH2", ""});
    panel_->cmdSave->click();
    QCOMPARE(readBytes(sessionFile("h_example_f_x_1.xml")),
             QByteArray("<?xml version=\"1.0\"?>\r\n<Quillmark>\r\n"
                        "    <Type>Form</Type>\r\n    <Session>Session1</Session>\r\n"
                        "    <Url>http://h.example/f?x=1</Url>\r\n"
                        "    <Action>post.asp</Action>\r\n"
                        "    <Postdata>a=%3C&b=<></Postdata>\r\n"
                        "    <Header>H1\r\nH2</Header>\r\n    <Frame></Frame>\r\n"
                        "</Quillmark>\r\n"));
    QCOMPARE(QDir(sessionDir()).entryList(QDir::Files | QDir::Hidden).size(), 1);
}

void TestRecordPanel::moveWithQueryVariantWritesSecondFile()
{
    writeSession("a_x_1.xml", rec("first", "http://a/x?1"));
    panel_->CallLoadPermanentRecord();
    addTemporary(rec(kSysgenName, "http://a/x?2"));
    panel_->cmdSave->click();
    QCOMPARE(names(panel_->lvwPermanent), QStringList{"first"});
    QCOMPARE(panel_->counters.glngNoOfPermanentSession, 1);
    QVERIFY(QFileInfo::exists(sessionFile("a_x_2.xml")));
    panel_->CallLoadPermanentRecord();
    QCOMPARE(host_->status(), QStringLiteral("2 Permanent Record"));
    QCOMPARE(panel_->lvwPermanent->topLevelItemCount(), 2);
}

void TestRecordPanel::moveFailureKeepsTemporaryRecord()
{
    writeSession("a_b.xml", rec("old", "http://a/b"));
    panel_->CallLoadPermanentRecord();
    // A folder in the way of the new file's name.
    QVERIFY(QDir(sessionDir()).mkdir("n_p.xml"));
    addTemporary(rec(kSysgenName, "http://n/p"));
    host_->prompt.answer(PromptAnswer::Ok);
    panel_->cmdSave->click();
    QCOMPARE(host_->prompt.questions().size(), 1);
    QCOMPARE(host_->prompt.questions()[0].text,
             "The record session could not be saved to the file " + sessionFile("n_p.xml") + ".");
    QCOMPARE(panel_->ListView1->topLevelItemCount(), 1);
    QCOMPARE(names(panel_->lvwPermanent), QStringList{"old"});
    QCOMPARE(panel_->counters.lngBookmarkId, 0);
    QCOMPARE(panel_->counters.glngNoOfPermanentSession, 1);
    QVERIFY(!panel_->counters.gbRecordChanged);
}

void TestRecordPanel::moveBeforeAnyLoadWritesNothing()
{
    const QString url =
        "http://brackenly-test-" + QString::number(QCoreApplication::applicationPid());
    addTemporary(rec("early", url));
    host_->prompt.answer(PromptAnswer::Ok);
    panel_->cmdSave->click();
    QCOMPARE(host_->prompt.questions().size(), 1);
    QCOMPARE(panel_->ListView1->topLevelItemCount(), 1);
    QVERIFY(!QFileInfo::exists("/" + MakeSessionFileName(url) + ".xml"));
}

void TestRecordPanel::nothingSelected_data()
{
    QTest::addColumn<int>("tab");
    QTest::addColumn<bool>("deleteButton");
    QTest::newRow("move, temporary") << 1 << false;
    QTest::newRow("delete, temporary") << 1 << true;
    QTest::newRow("delete, permanent") << 0 << true;
}

void TestRecordPanel::nothingSelected()
{
    QFETCH(int, tab);
    QFETCH(bool, deleteButton);
    writeSession("p.xml", rec("p", "http://p/"));
    panel_->CallLoadPermanentRecord();
    panel_->lvwPermanent->clearSelection();
    AddRecord(*panel_->ListView1, rec("t", "http://t/"), panel_->counters);
    panel_->SSTab1->setCurrentIndex(tab);
    host_->statuses.clear();
    host_->prompt.answer(PromptAnswer::Ok);
    if (deleteButton)
        panel_->cmdDelete_Click();
    else
        panel_->cmdSave_Click();
    QCOMPARE(host_->prompt.questions().size(), 1);
    const ScriptedPrompt::Question q = host_->prompt.questions()[0];
    QCOMPARE(q.text, QStringLiteral("Please select a record session from the list first!"));
    QCOMPARE(q.title, QString());
    QCOMPARE(q.buttons, PromptButtons::Ok);
    QCOMPARE(panel_->lvwPermanent->topLevelItemCount(), 1);
    QCOMPARE(panel_->ListView1->topLevelItemCount(), 1);
    QVERIFY(host_->statuses.isEmpty());
}

void TestRecordPanel::deletePermanent_data()
{
    QTest::addColumn<PromptAnswer>("answer");
    QTest::addColumn<bool>("fileThere");
    QTest::addColumn<bool>("deleted");
    QTest::addColumn<QString>("status");
    QTest::newRow("yes") << PromptAnswer::Yes << true << true << "Record session is deleted!";
    QTest::newRow("no") << PromptAnswer::No << true << false << "Delete action is aborted!";
    QTest::newRow("file already gone")
        << PromptAnswer::Yes << false << true << "Record session is deleted!";
}

void TestRecordPanel::deletePermanent()
{
    QFETCH(PromptAnswer, answer);
    QFETCH(bool, fileThere);
    QFETCH(bool, deleted);
    QFETCH(QString, status);
    writeSession("keep.xml", rec("keep", "http://keep/"));
    writeSession("x_y.xml", rec("My Record", "http://x/y"));
    panel_->CallLoadPermanentRecord();
    if (!fileThere)
        QVERIFY(QFile::remove(sessionFile("x_y.xml")));
    panel_->lvwPermanent->setCurrentItem(panel_->lvwPermanent->findByKey("http://x/y"));
    host_->prompt.answer(answer);
    panel_->cmdDelete->click();

    QCOMPARE(host_->prompt.questions().size(), 1);
    const ScriptedPrompt::Question q = host_->prompt.questions()[0];
    QCOMPARE(q.text, QStringLiteral("Are you sure to delete this permanent record session?"));
    QCOMPARE(q.title, QStringLiteral("My Record"));
    QCOMPARE(q.buttons, PromptButtons::YesNo);
    QCOMPARE(host_->status(), status);
    QCOMPARE(panel_->lvwPermanent->hasKey("http://x/y"), !deleted);
    QCOMPARE(QFileInfo::exists(sessionFile("x_y.xml")), fileThere && !deleted);
    QVERIFY(QFileInfo::exists(sessionFile("keep.xml")));
    QCOMPARE(panel_->counters.glngNoOfPermanentSession, deleted ? 1 : 2);
    QCOMPARE(panel_->counters.gbRecordChanged, deleted);
}

void TestRecordPanel::deleteTemporaryAsksNothing()
{
    writeSession("t.xml", rec("perm", "http://t"));
    panel_->CallLoadPermanentRecord();
    addTemporary(rec("temp", "http://t"));
    panel_->cmdDelete->click(); // the prompt fails the test if asked
    QCOMPARE(panel_->ListView1->topLevelItemCount(), 0);
    QCOMPARE(host_->status(), QStringLiteral("Record session is deleted!"));
    QVERIFY(QFileInfo::exists(sessionFile("t.xml")));
    QCOMPARE(panel_->counters.glngNoOfPermanentSession, 1);
    QVERIFY(panel_->counters.gbRecordChanged);
}

void TestRecordPanel::deleteKeylessDuplicate()
{
    writeSession("one.xml", rec("one", "http://d/"));
    writeSession("two.xml", rec("two", "http://D/"));
    panel_->CallLoadPermanentRecord();
    QTreeWidgetItem* keyless = panel_->lvwPermanent->topLevelItem(0);
    if (!RecordList::itemKey(keyless).isEmpty())
        keyless = panel_->lvwPermanent->topLevelItem(1);
    const QString keylessName = keyless->text(0);
    panel_->lvwPermanent->setCurrentItem(keyless);
    host_->prompt.answer(PromptAnswer::Yes);
    panel_->cmdDelete->click();
    // The selected item goes, not the one its key would find.
    QCOMPARE(panel_->lvwPermanent->topLevelItemCount(), 1);
    QVERIFY(panel_->lvwPermanent->topLevelItem(0)->text(0) != keylessName);
    QVERIFY(panel_->lvwPermanent->hasKey("http://d/"));
}

void TestRecordPanel::deleteAbandonedWhenListChangesDuringQuestion()
{
    writeSession("a.xml", rec("a", "http://a/"));
    writeSession("b.xml", rec("b", "http://b/"));
    panel_->CallLoadPermanentRecord();
    panel_->lvwPermanent->setCurrentItem(panel_->lvwPermanent->findByKey("http://b/"));
    // While the question is open another handler reloads the list.
    host_->prompt.answer([this](const ScriptedPrompt::Question&) {
        panel_->CallLoadPermanentRecord();
        panel_->lvwPermanent->setCurrentItem(panel_->lvwPermanent->findByKey("http://b/"));
        return PromptAnswer::Yes;
    });
    panel_->cmdDelete->click();
    QCOMPARE(panel_->lvwPermanent->topLevelItemCount(), 2);
    QVERIFY(QFileInfo::exists(sessionFile("b.xml")));
    QCOMPARE(panel_->counters.glngNoOfPermanentSession, 2);
}

void TestRecordPanel::windowClosedDuringLoad()
{
    for (int i = 0; i < 20; ++i)
        writeSession(QStringLiteral("s%1.xml").arg(i),
                     rec("s", QStringLiteral("http://s/%1").arg(i)));
    QTimer::singleShot(0, this, [this] { delete window_; });
    panel_->CallLoadPermanentRecord();
    QVERIFY(window_.isNull());
    QVERIFY(panel_.isNull());
}

void TestRecordPanel::reloadDuringLoad()
{
    for (int i = 0; i < 20; ++i)
        writeSession(QStringLiteral("s%1.xml").arg(i),
                     rec("s", QStringLiteral("http://s/%1").arg(i)));
    bool nested = false;
    QTimer::singleShot(0, this, [this, &nested] {
        nested = true;
        panel_->CallLoadPermanentRecord();
    });
    panel_->CallLoadPermanentRecord();
    QVERIFY(nested);
    QCOMPARE(panel_->lvwPermanent->topLevelItemCount(), 20);
    QCOMPARE(panel_->counters.glngNoOfPermanentSession, 20);
    QCOMPARE(host_->status(), QStringLiteral("20 Permanent Record"));
}

QTEST_MAIN(TestRecordPanel)
#include "tst_recordpanel.moc"
