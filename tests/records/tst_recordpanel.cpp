#include "recordfile.h"
#include "recordlist.h"
#include "recordpanel.h"
#include "recordtext.h"
#include "scriptedprompt.h"
#include "sessionhost.h"

#include <QDir>
#include <QPushButton>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <memory>
#include <sys/stat.h>

using namespace brackenly;
using namespace Qt::StringLiterals;

Q_DECLARE_METATYPE(brackenly::Record)

namespace {

struct FakeHost : SessionHost
{
    QWidget* window() override { return win; }
    Prompt& prompt() override { return scripted; }
    QString hostProgramFolder() const override { return programFolder; }
    void setStatusText(const QString& text) override { status = text; }
    QString saveFolder() const override { return gstrSaveFolder; }
    void setSaveFolder(const QString& folder) override { gstrSaveFolder = folder; }
    void setHomePageBox(const QString& text) override { txtHome = text; }
    void setImageFolderBox(const QString& text) override { txtImageFolder = text; }

    QPointer<QWidget> win;
    ScriptedPrompt scripted;
    QString programFolder, status, gstrSaveFolder, txtHome = u"built-in"_s, txtImageFolder;
};

bool writeBytes(const QString& path, const QByteArray& bytes, qint64 size = -1)
{
    QFile f(path); // a larger size makes a sparse file: cheap to make
    return f.open(QIODevice::WriteOnly) && f.write(bytes) == bytes.size() &&
           (size < 0 || f.resize(size));
}

Record rec(const QString& session, const QString& url)
{
    return Record{"Form", session, url, "go.asp", "a=1&b=2", "", "main"};
}

QStringList column(const QTreeWidget* list, int column = 0)
{
    QStringList result;
    for (int i = 0; i < list->topLevelItemCount(); ++i)
        result << (column < 0 ? RecordList::itemKey(list->topLevelItem(i))
                              : list->topLevelItem(i)->text(column));
    return result;
}

} // namespace

class TestRecordPanel : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void init();
    void cleanup();
    void load_data();
    void load();
    void loadSkipsBadFilesAndFlipsSort();
    void moveRecord_data();
    void moveRecord();
    void generatedNamesAndQueryVariants();
    void otherAddressesFilesAreLeftAlone_data();
    void otherAddressesFilesAreLeftAlone();
    void deleteRecord_data();
    void deleteRecord();
    void windowClosedDuringLoad();
    void sortedListPlacesNewItems_data();
    void sortedListPlacesNewItems();
    void longLoadLandsInGrowingBatches();

private:
    QString path(const QString& name) const { return QDir(dir_->path()).filePath(name); }
    void writeSession(const QString& name, const Record& r)
    {
        QVERIFY(QDir().mkpath(path("session")));
        QVERIFY(WriteTextFile(path("session/" + name), BuildRecordXml(r)));
    }
    QMap<QString, QByteArray> sessionFiles() const
    {
        QMap<QString, QByteArray> files;
        const QDir folder(path("session"));
        for (const QString& name : folder.entryList(QDir::AllEntries | QDir::NoDotAndDotDot)) {
            QFile f(folder.filePath(name));
            files[name] = f.open(QIODevice::ReadOnly) ? f.readAll() : "<folder>";
        }
        return files;
    }
    void addTemporary(const Record& r)
    {
        AddRecord(*panel_->ListView1, r, panel_->counters);
        panel_->SSTab1->setCurrentIndex(1); // enables "Move Record to Permanent"
        panel_->ListView1->setCurrentItem(panel_->ListView1->topLevelItem(0));
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
    host_ = std::make_unique<FakeHost>();
    host_->programFolder = dir_->path();
    host_->win = window_ = new QWidget;
    panel_ = new RecordPanel(window_, *host_);
}

void TestRecordPanel::cleanup()
{
    delete window_;
    QCOMPARE(host_->scripted.unanswered(), 0);
}

void TestRecordPanel::load_data()
{
    QTest::addColumn<QString>("settingsType"); // "": no settings file
    QTest::addColumn<QString>("folder");       // the image folder in the settings file
    QTest::addColumn<QString>("blocker");      // a file named like a folder the load needs
    QTest::newRow("first start") << "" << u""_s << "";
    QTest::newRow("settings in capitals") << "HOME" << u"pics <&>"_s << "";
    QTest::newRow("settings in small letters") << "home" << u"p"_s << "";
    QTest::newRow("no image folder in the settings") << "Home" << u""_s << "";
    // The load ends quietly: what was read stays, status and selection are skipped.
    QTest::newRow("session is a file") << "" << u""_s << "session";
    QTest::newRow("Image is a file") << "" << u""_s << "Image";
}

void TestRecordPanel::load()
{
    QFETCH(QString, settingsType);
    QFETCH(QString, folder);
    QFETCH(QString, blocker);
    if (blocker != "session")
        writeSession("r.xml", rec("record", "http://r/"));
    if (!settingsType.isEmpty()) // told apart by content, not by name
        QVERIFY(WriteTextFile(path("session/" + settingsType + ".xml"),
                              BuildSettingsXml({"http://h/", folder.isEmpty() ? "" : path(folder)})
                                  .replace(">Home<", ">" + settingsType + "<")));
    QVERIFY(blocker.isEmpty() || writeBytes(path(blocker), "x"));
    addTemporary(rec("temp", "http://t/"));
    panel_->counters.gbRecordChanged = true;
    host_->status = "before";
    panel_->CallLoadPermanentRecord();

    QCOMPARE(host_->status, blocker.isEmpty() ? u"1 Permanent Record"_s : u"before"_s);
    QCOMPARE(column(panel_->lvwPermanent),
             blocker == "session" ? QStringList() : QStringList{"record"});
    QCOMPARE(panel_->lvwPermanent->selectedItems().size(), blocker.isEmpty() ? 1 : 0);
    // Temporary records are kept, and the buttons still act on that list, which is showing.
    QCOMPARE(panel_->ListView1->topLevelItemCount(), 1);
    QCOMPARE(panel_->glngCurTab, 1);
    QVERIFY(panel_->cmdSave->isEnabled() && !panel_->cmdFill->isEnabled());
    QVERIFY(!panel_->counters.gbRecordChanged);
    struct stat st; // passwords inside: the owner's alone, also when it was there before
    QVERIFY(blocker == "session" ||
            ::stat(QFile::encodeName(path("session")).constData(), &st) == 0);
    QVERIFY(blocker == "session" || (st.st_mode & 0777) == 0700);
    if (!blocker.isEmpty())
        return;
    const QString saveFolder = path(folder.isEmpty() ? u"Image"_s : folder);
    QCOMPARE(host_->gstrSaveFolder, saveFolder);
    QCOMPARE(host_->txtImageFolder, saveFolder);
    QCOMPARE(host_->txtHome, settingsType.isEmpty() ? u"built-in"_s : u"http://h/"_s);
    QCOMPARE(QFileInfo(saveFolder).isDir(), folder.isEmpty()); // only the default is made
}

void TestRecordPanel::loadSkipsBadFilesAndFlipsSort()
{
    writeSession("lower.xml", rec("lower", "http://lower/"));
    writeSession("UPPER.XML", rec("upper", "http://upper/"));
    writeSession("other.txt", rec("txt", "http://txt/"));
    writeSession(".xml", rec("hidden", "http://")); // a short address's file name
    QVERIFY(writeBytes(path("session/empty.xml"), ""));
    QVERIFY(QDir().mkpath(path("session/folder.xml")));
    QCOMPARE(::mkfifo(QFile::encodeName(path("session/pipe.xml")).constData(), 0600), 0);
    QVERIFY(writeBytes(path("session/huge.xml"), "<Session>huge</Session>", 100LL << 20));
    QVERIFY(writeBytes(path("session/binary.xml"), "\x01\xFF\x00<\xFE"_ba));
    QVERIFY(writeBytes(path("session/bom.xml"), "\xEF\xBB\xBF<Session>bom</Session>"));
    panel_->CallLoadPermanentRecord(); // a FIFO opened for reading would block here
    // The binary file has no elements: an empty Form record.
    QCOMPARE(column(panel_->lvwPermanent), (QStringList{"", "bom", "hidden", "lower", "upper"}));
    QCOMPARE(host_->status, u"5 Permanent Record"_s);
    panel_->CallLoadPermanentRecord(); // each load flips the direction
    QCOMPARE(column(panel_->lvwPermanent), (QStringList{"upper", "lower", "hidden", "bom", ""}));
    panel_->lvwPermanent_ColumnClick(3); // by Url, ascending again
    QCOMPARE(column(panel_->lvwPermanent, 2),
             (QStringList{"", "", "http://", "http://lower/", "http://upper/"}));
}

void TestRecordPanel::moveRecord_data()
{
    QTest::addColumn<QString>("existingName"); // "": no permanent record of that key
    QTest::addColumn<QString>("tempName");
    QTest::addColumn<QString>("stored");   // "": the move fails and the record stays
    QTest::addColumn<qint64>("fileBytes"); // 0: a small record
    QTest::addColumn<QString>("message");  // part of the message when the move fails
    const QString sys = QStringLiteral("*sysgen*");
    QTest::newRow("own name") << "" << u"Mine"_s << u"Mine"_s << 0LL << "";
    QTest::newRow("overwrite keeps the name") << u"Old"_s << sys << u"Old"_s << 0LL << "";
    QTest::newRow("overwrite renames") << u"Old"_s << u"New"_s << u"New"_s << 0LL << "";
    QTest::newRow("before any load") << "-" << sys << u""_s << 0LL << "could not be saved";
    // The load skips files over 4 MiB: a record it would lose is refused.
    QTest::newRow("largest that loads") << "" << u"Mine"_s << u"Mine"_s << 4194304LL << "";
    QTest::newRow("one byte larger") << "" << u"Mine"_s << u""_s << 4194305LL << "4194305 bytes";
}

void TestRecordPanel::moveRecord()
{
    QFETCH(QString, existingName);
    QFETCH(QString, tempName);
    QFETCH(QString, stored);
    QFETCH(qint64, fileBytes);
    QFETCH(QString, message);
    if (!existingName.isEmpty() && existingName != "-")
        writeSession("a_x.xml", rec(existingName, "http://a/x"));
    if (existingName != "-")
        panel_->CallLoadPermanentRecord();
    const int moved = stored.isEmpty() ? 0 : 1;
    if (!moved)
        host_->scripted.answer(PromptAnswer::Ok);
    Record temp = rec(tempName, "http://A/x");
    if (fileBytes) { // one byte a character, and the last line's CR LF
        temp.Postdata.clear();
        temp.Postdata.fill(u'p', fileBytes - BuildRecordXml(temp).size() - 2);
    }
    addTemporary(temp);
    host_->status.clear();
    panel_->cmdSave->click();

    QCOMPARE(panel_->ListView1->topLevelItemCount(), 1 - moved);
    QCOMPARE(panel_->lvwPermanent->topLevelItemCount(), moved);
    QCOMPARE(panel_->counters.glngNoOfPermanentSession, moved);
    QCOMPARE(panel_->counters.gbRecordChanged, bool(moved));
    QCOMPARE(panel_->counters.lngBookmarkId, 0); // no generated name
    QVERIFY(host_->status.isEmpty());
    if (!moved) {
        QVERIFY2(host_->scripted.texts().value(0).contains(message),
                 qPrintable(host_->scripted.texts().value(0)));
        QVERIFY(!QFileInfo::exists("/A_x.xml") && !QFileInfo::exists(path("session/A_x.xml")));
        return;
    }
    temp.Session = stored;
    QString text;
    QVERIFY(ReadTextFile(path("session/A_x.xml"), text));
    QCOMPARE(text, BuildRecordXml(temp) + "\r\n");
    Record inList;
    ReadRecordItem(panel_->lvwPermanent->topLevelItem(0), inList);
    QCOMPARE(inList, temp);
}

void TestRecordPanel::generatedNamesAndQueryVariants()
{
    panel_->CallLoadPermanentRecord();
    for (const QString url : {"http://a/x?1", "http://b/", "http://A/x?2"}) {
        addTemporary(rec(QStringLiteral("*sysgen*"), url));
        panel_->cmdSave->click();
    }
    // The third has the first one's key: that item keeps its name, but a second file is written.
    QCOMPARE(column(panel_->lvwPermanent), (QStringList{"Session1", "Session2"}));
    QCOMPARE(panel_->counters.lngBookmarkId, 2);
    QCOMPARE(panel_->counters.glngNoOfPermanentSession, 2);
    QCOMPARE(QDir(path("session")).entryList(QDir::Files, QDir::Name | QDir::IgnoreCase),
             (QStringList{"a_x_1.xml", "A_x_2.xml", "b_.xml"}));
    // Both files load; the second of the key stays without a key.
    panel_->CallLoadPermanentRecord();
    QCOMPARE(host_->status, u"3 Permanent Record"_s);
    // Deleting it removes that item, not the one its key would find.
    const int keyless = int(column(panel_->lvwPermanent, -1).indexOf(""));
    panel_->SSTab1->setCurrentIndex(0);
    panel_->lvwPermanent->setCurrentItem(panel_->lvwPermanent->topLevelItem(keyless));
    host_->scripted.answer(PromptAnswer::Yes);
    panel_->cmdDelete->click();
    QCOMPARE(column(panel_->lvwPermanent, -1),
             (QStringList{"http://b/", "http://a/x"})); // descending now
}

// Different addresses can make one file name: each record keeps a file of its own.
void TestRecordPanel::otherAddressesFilesAreLeftAlone_data()
{
    QTest::addColumn<QStringList>(
        "onDisk");                     // "file address"; "file Home": settings; "file": a folder
    QTest::addColumn<QString>("url");  // moved to permanent, then deleted
    QTest::addColumn<QString>("file"); // where it goes
    const QString bank = u"http://my-bank.example/"_s;
    QTest::newRow("free") << QStringList() << bank << "my_bank_example_.xml";
    QTest::newRow("another site's file")
        << QStringList{"my_bank_example_.xml http://my.bank.example/"} << bank
        << "my_bank_example_-2.xml";
    QTest::newRow("the same site's file")
        << QStringList{"my_bank_example__a_1.xml http://my-bank.example/?a_1"}
        << "http://my-bank.example/?a=1"
        << "my_bank_example__a_1.xml";
    QTest::newRow("the settings file's name")
        << QStringList{"Quillmark.xml Home"} << "http://Quillmark"
        << "Quillmark-2.xml";
    QTest::newRow("two taken") << QStringList{"a_b.xml http://a.b", "a_b-2.xml http://a/b"}
                               << "http://a-b"
                               << "a_b-3.xml";
    QTest::newRow("its own numbered file")
        << QStringList{"a_b.xml http://a.b", "a_b-2.xml http://a-b?old"} << "http://a-b"
        << "a_b-2.xml";
    QTest::newRow("a folder in the way") << QStringList{"a_b.xml"} << "http://a-b"
                                         << "a_b-2.xml";
}

void TestRecordPanel::otherAddressesFilesAreLeftAlone()
{
    QFETCH(QStringList, onDisk);
    QFETCH(QString, url);
    QFETCH(QString, file);
    QVERIFY(QDir().mkpath(path("session")));
    for (const QString& entry : onDisk) {
        const QString name = entry.section(u' ', 0, 0), address = entry.section(u' ', 1);
        if (address.isEmpty())
            QVERIFY(QDir().mkdir(path("session/" + name)));
        else if (address == "Home")
            QVERIFY(WriteTextFile(path("session/" + name), BuildSettingsXml({"http://h/", ""})));
        else
            writeSession(name, rec("theirs", address));
    }
    panel_->CallLoadPermanentRecord();
    QMap<QString, QByteArray> others = sessionFiles();
    others.remove(file);
    addTemporary(rec("Mine", url));
    panel_->cmdSave->click();

    QMap<QString, QByteArray> after = sessionFiles();
    QCOMPARE(after.take(file), BuildRecordXml(rec("Mine", url)).toLatin1() + "\r\n");
    QCOMPARE(after, others);
    // Read back from there, and deleted from there only.
    panel_->CallLoadPermanentRecord();
    QTreeWidgetItem* mine = panel_->lvwPermanent->findByKey(MakeRecordKey(url));
    QVERIFY(mine);
    QCOMPARE(mine->text(0), u"Mine"_s);
    panel_->SSTab1->setCurrentIndex(0);
    panel_->lvwPermanent->setCurrentItem(mine);
    host_->scripted.answer(PromptAnswer::Yes);
    panel_->cmdDelete->click();
    QCOMPARE(sessionFiles(), others);
}

void TestRecordPanel::deleteRecord_data()
{
    QTest::addColumn<int>("tab");
    QTest::addColumn<QString>("file");        // the record's file at the time of the delete
    QTest::addColumn<PromptAnswer>("answer"); // Ok: no Yes/No question
    QTest::addColumn<QString>("status");
    const QString deleted = u"Record session is deleted!"_s;
    QTest::newRow("Yes") << 0 << "mine" << PromptAnswer::Yes << deleted;
    QTest::newRow("No") << 0 << "mine" << PromptAnswer::No << u"Delete action is aborted!"_s;
    QTest::newRow("file already gone") << 0 << "gone" << PromptAnswer::Yes << deleted;
    // Another window deleted it and saved another address's record under that name.
    QTest::newRow("file now another's") << 0 << "theirs" << PromptAnswer::Yes << deleted;
    QTest::newRow("temporary: no question, file kept")
        << 1 << "mine" << PromptAnswer::Ok << deleted;
    QTest::newRow("nothing selected") << -1 << "mine" << PromptAnswer::Ok << u""_s;
}

void TestRecordPanel::deleteRecord()
{
    QFETCH(int, tab);
    QFETCH(QString, file);
    QFETCH(PromptAnswer, answer);
    QFETCH(QString, status);
    writeSession("keep.xml", rec("keep", "http://keep/"));
    writeSession("x_y.xml", rec("My Record", "http://x/y"));
    panel_->CallLoadPermanentRecord();
    addTemporary(rec("temp", "http://x/y"));
    panel_->SSTab1->setCurrentIndex(qMax(tab, 0));
    if (file != "mine")
        QVERIFY(QFile::remove(path("session/x_y.xml")));
    if (file == "theirs")
        writeSession("x_y.xml", rec("Theirs", "http://x_y"));
    panel_->lvwPermanent->setCurrentItem(panel_->lvwPermanent->findByKey("http://x/y"));
    if (tab < 0)
        panel_->lvwPermanent->clearSelection();
    if (tab != 1)
        host_->scripted.answer(answer);
    host_->status.clear();
    panel_->cmdDelete->click();

    const bool gone = status == u"Record session is deleted!"_s;
    const QString question = tab < 0 ? u"Please select a record session from the list first!"_s
                                     : u"Are you sure to delete this permanent record session?"_s;
    QCOMPARE(host_->status, status);
    QCOMPARE(host_->scripted.texts(), tab == 1 ? QStringList() : QStringList{question});
    QCOMPARE(host_->scripted.questions().value(0).title, tab == 0 ? u"My Record"_s : QString());
    QCOMPARE(panel_->lvwPermanent->hasKey("http://x/y"), !(gone && tab == 0));
    QCOMPARE(panel_->ListView1->topLevelItemCount(), gone && tab == 1 ? 0 : 1);
    QCOMPARE(QFileInfo::exists(path("session/x_y.xml")),
             file == "theirs" || (file == "mine" && !(gone && tab == 0)));
    QCOMPARE(panel_->counters.glngNoOfPermanentSession, gone && tab == 0 ? 1 : 2);
    QCOMPARE(panel_->counters.gbRecordChanged, gone);
}

void TestRecordPanel::windowClosedDuringLoad()
{
    for (int i = 0; i < 20; ++i)
        writeSession(u"s%1.xml"_s.arg(i), rec("s", u"http://s/%1"_s.arg(i)));
    QTimer::singleShot(0, this, [this] { delete window_; });
    panel_->CallLoadPermanentRecord();
    QVERIFY(host_->status.isEmpty()); // the load stopped with the window
}

void TestRecordPanel::sortedListPlacesNewItems_data()
{
    QTest::addColumn<bool>("ascending");
    QTest::addColumn<QStringList>("names"); // the last one is added after the sort
    QTest::addColumn<QStringList>("shown");
    QTest::newRow("ignoring case")
        << true << QStringList{"b", "D", "C"} << QStringList{"b", "C", "D"};
    QTest::newRow("descending") << false << QStringList{"b", "D", "c"}
                                << QStringList{"D", "c", "b"};
    QTest::newRow("first") << true << QStringList{"b", "c", "A"} << QStringList{"A", "b", "c"};
    QTest::newRow("equal: after") << true << QStringList{"a", "b", "B"}
                                  << QStringList{"a", "b", "B"};
}

void TestRecordPanel::sortedListPlacesNewItems()
{
    QFETCH(bool, ascending);
    QFETCH(QStringList, names);
    QFETCH(QStringList, shown);
    RecordList list;
    list.resetColumns();
    for (qsizetype i = 0; i < names.size(); ++i) {
        if (i == names.size() - 1)
            list.sortRecords(0, ascending ? Qt::AscendingOrder : Qt::DescendingOrder);
        QTreeWidgetItem* item = RecordList::createItem();
        item->setText(0, names.at(i));
        list.appendItem(item);
    }
    QCOMPARE(column(&list), shown);
}

void TestRecordPanel::longLoadLandsInGrowingBatches()
{
    RecordList list;
    list.resetColumns();
    list.beginBulkLoad();
    QList<int> shown;
    for (int i = 0; i < 5; ++i) {
        QTest::qWait(RecordList::kBatchIntervalMs + 10); // a batch is due at every item
        QTreeWidgetItem* item = RecordList::createItem();
        list.setItemKey(item, QString::number(i));
        list.appendItem(item);
        QVERIFY(list.hasKey(QString::number(i))); // held or landed, it is found
        shown << list.topLevelItemCount();
    }
    // A batch also grows the list by half: the fourth item waits for the fifth.
    QCOMPARE(shown, (QList<int>{1, 2, 3, 3, 5}));
    list.endBulkLoad();
    QCOMPARE(list.topLevelItemCount(), 5);
}

QTEST_MAIN(TestRecordPanel)
#include "tst_recordpanel.moc"