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
        result << list->topLevelItem(i)->text(column);
    return result;
}

} // namespace

class TestRecordPanel : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void init()
    {
        dir_ = std::make_unique<QTemporaryDir>();
        host_ = std::make_unique<FakeHost>();
        host_->programFolder = dir_->path();
        host_->win = window_ = new QWidget;
        panel_ = new RecordPanel(window_, *host_);
    }
    void cleanup() { delete window_; }

    void load_data()
    {
        QTest::addColumn<QString>("settingsType"); // "": no settings file
        QTest::addColumn<QString>("folder");       // the image folder in the settings file
        QTest::newRow("first start") << "" << u""_s;
        QTest::newRow("settings in capitals") << "HOME" << u"pics <&>"_s;
        QTest::newRow("no image folder in the settings") << "Home" << u""_s;
    }
    void load()
    {
        QFETCH(QString, settingsType);
        QFETCH(QString, folder);
        writeSession("lower.xml", rec("lower", "http://lower/"));
        writeSession("UPPER.XML", rec("upper", "http://upper/"));
        writeSession(".xml", rec("hidden", "http://")); // a short address's file name
        QCOMPARE(::mkfifo(QFile::encodeName(path("session/pipe.xml")).constData(), 0600), 0);
        QVERIFY(writeBytes(path("session/huge.xml"), "<Session>huge</Session>", 100LL << 20));
        if (!settingsType.isEmpty()) // told apart by content, not by name
            QVERIFY(
                WriteTextFile(path("session/" + settingsType + ".xml"),
                              BuildSettingsXml({"http://h/", folder.isEmpty() ? "" : path(folder)})
                                  .replace(">Home<", ">" + settingsType + "<")));
        addTemporary(rec("temp", "http://t/"));
        panel_->counters.gbRecordChanged = true;
        panel_->CallLoadPermanentRecord(); // a FIFO opened for reading would block here

        QCOMPARE(column(panel_->lvwPermanent), (QStringList{"hidden", "lower", "upper"}));
        QCOMPARE(host_->status, u"3 Permanent Record"_s);
        QCOMPARE(panel_->lvwPermanent->selectedItems().size(), 1);
        // Temporary records are kept, and the buttons still act on that list, which is showing.
        QCOMPARE(panel_->ListView1->topLevelItemCount(), 1);
        QVERIFY(panel_->cmdSave->isEnabled() && !panel_->cmdFill->isEnabled());
        QVERIFY(!panel_->counters.gbRecordChanged);
        struct stat st; // passwords inside: the owner's alone, also when it was there before
        QVERIFY(::stat(QFile::encodeName(path("session")).constData(), &st) == 0 &&
                (st.st_mode & 0777) == 0700);
        const QString saveFolder = path(folder.isEmpty() ? u"Image"_s : folder);
        QCOMPARE(host_->gstrSaveFolder, saveFolder);
        QCOMPARE(host_->txtImageFolder, saveFolder);
        QCOMPARE(host_->txtHome, settingsType.isEmpty() ? u"built-in"_s : u"http://h/"_s);
        QCOMPARE(QFileInfo(saveFolder).isDir(), folder.isEmpty()); // only the default is made

        panel_->CallLoadPermanentRecord(); // each load flips the direction
        QCOMPARE(column(panel_->lvwPermanent), (QStringList{"upper", "lower", "hidden"}));
    }

    // "Move Record to Permanent" on temporary records in turn. On disk before: "file address"
    // of a record named "theirs", "file Home" a settings file, "file" a folder; "-": no load
    // first. After: the session folder as "file: name address", and the permanent list.
    void move_data()
    {
        QTest::addColumn<QStringList>("onDisk");
        QTest::addColumn<QStringList>("moved"); // "name address"
        QTest::addColumn<qint64>("fileBytes");  // of each record's file; 0: small
        QTest::addColumn<QStringList>("files");
        QTest::addColumn<QStringList>("shown");
        QTest::addColumn<QString>("message"); // part of it, when the last move fails
        const auto row = [](const char* name, const QStringList& onDisk, const QStringList& moved,
                            const QStringList& files, const QStringList& shown, qint64 bytes = 0,
                            const char* message = "") {
            QTest::newRow(name) << onDisk << moved << bytes << files << shown << QString(message);
        };
        const QStringList mine{"Mine http://A/x"}, stored{"A_x.xml: Mine http://A/x"};
        const QString sys = "*sysgen* http://A/x";
        row("before any load", {"-"}, {sys}, {}, {}, 0, "could not be saved");
        // The load skips files over 4 MiB: a record it would lose is refused.
        row("largest that loads", {}, mine, stored, {"Mine"}, 4194304);
        row("one byte larger", {}, mine, {}, {}, 4194305, "4194305 bytes");
        // The third has the first one's key: that item keeps its name (and takes the record),
        // but it gets a file of its own.
        row("generated names", {}, {"*sysgen* http://a/x?1", "*sysgen* http://b/", sys + "?2"},
            {"A_x_2.xml: Session1 http://A/x?2", "a_x_1.xml: Session1 http://a/x?1",
             "b_.xml: Session2 http://b/"},
            {"Session1", "Session2"});
        // Addresses that make one file name: each record keeps a file of its own. The second
        // move overwrites the first one's file and renames its item.
        row("another site's file, then its own", {"a_b.xml http://a.b"},
            {"Mine http://a-b", "New http://a-b"},
            {"a_b-2.xml: New http://a-b", "a_b.xml: theirs http://a.b"}, {"New", "theirs"});
        row("the same site's file", {"a_b_a_1.xml http://a/b?a_1"}, {"Mine http://a/b?a=1"},
            {"a_b_a_1.xml: Mine http://a/b?a=1"}, {"Mine"});
        row("settings and a folder in the way", {"Q.xml Home", "Q-2.xml"}, {"Mine http://Q"},
            {"Q-2.xml: folder", "Q-3.xml: Mine http://Q", "Q.xml: Home"}, {"Mine"});
    }
    void move()
    {
        QFETCH(QStringList, onDisk);
        QFETCH(QStringList, moved);
        QFETCH(qint64, fileBytes);
        QFETCH(QStringList, files);
        QFETCH(QStringList, shown);
        QFETCH(QString, message);
        const auto made = [&](const QString& name, const QString& url) {
            Record r = rec(name, url);
            if (fileBytes) { // one byte a character, and the last line's CR LF
                r.Postdata.clear();
                r.Postdata.fill(u'p', fileBytes - BuildRecordXml(r).size() - 2);
            }
            return r;
        };
        QVERIFY(QDir().mkpath(path("session")));
        for (const QString& entry : onDisk) {
            const QString name = entry.section(u' ', 0, 0), address = entry.section(u' ', 1);
            if (address == "Home")
                QVERIFY(WriteTextFile(path("session/" + name), BuildSettingsXml({"h", ""})));
            else if (!address.isEmpty())
                writeSession(name, made("theirs", address));
            else if (name != "-")
                QVERIFY(QDir().mkdir(path("session/" + name)));
        }
        if (onDisk != QStringList{"-"})
            panel_->CallLoadPermanentRecord();
        QMap<QString, QByteArray> before;
        for (const QString& entry : moved) {
            before = sessionFiles();
            if (!message.isEmpty())
                host_->scripted.answer(PromptAnswer::Ok);
            addTemporary(made(entry.section(u' ', 0, 0), entry.section(u' ', 1)));
            panel_->cmdSave->click();
        }

        const QMap<QString, QByteArray> after = sessionFiles();
        QStringList got;
        QMap<QString, QByteArray> rest = after; // once the last one moved is deleted again
        for (auto it = after.cbegin(); it != after.cend(); ++it) {
            Record r;
            ParseRecordXml(QString::fromLatin1(it.value()), r);
            got << it.key() + ": " +
                       (it.value() == "<folder>"      ? u"folder"_s
                        : r.Type == "Home"            ? u"Home"_s
                        : r == made(r.Session, r.Url) ? r.Session + " " + r.Url
                                                      : u"other fields"_s);
            if (before.value(it.key()) != it.value())
                rest.remove(it.key());
        }
        QCOMPARE(got, files);
        QCOMPARE(column(panel_->lvwPermanent), shown);
        for (int i = 0; i < panel_->lvwPermanent->topLevelItemCount(); ++i) {
            Record r;
            ReadRecordItem(panel_->lvwPermanent->topLevelItem(i), r);
            QCOMPARE(r, made(r.Session, r.Url));
        }
        QCOMPARE(panel_->ListView1->topLevelItemCount(), message.isEmpty() ? 0 : 1);
        QCOMPARE(panel_->counters.gbRecordChanged, message.isEmpty());
        QVERIFY2(host_->scripted.texts().value(0).contains(message),
                 qPrintable(host_->scripted.texts().value(0)));
        if (!message.isEmpty())
            return;
        // Read back, and deleted from its own file only, not from the one its key would find.
        panel_->CallLoadPermanentRecord();
        const QString url = moved.constLast().section(u' ', 1);
        panel_->SSTab1->setCurrentIndex(0);
        panel_->lvwPermanent->setCurrentItem(
            panel_->lvwPermanent->topLevelItem(int(column(panel_->lvwPermanent, 2).indexOf(url))));
        host_->scripted.answer(PromptAnswer::Yes);
        panel_->cmdDelete->click();
        QCOMPARE(sessionFiles(), rest);
        QVERIFY(!column(panel_->lvwPermanent, 2).contains(url));
    }

    // A permanent record deleted from its own file: the end of move().
    void deleteRecord_data()
    {
        QTest::addColumn<int>("tab");
        QTest::addColumn<bool>("theirs");         // its file now holds another address's record
        QTest::addColumn<PromptAnswer>("answer"); // Ok: no Yes/No question
        QTest::addColumn<QString>("status");
        const QString deleted = u"Record session is deleted!"_s;
        QTest::newRow("No") << 0 << false << PromptAnswer::No << u"Delete action is aborted!"_s;
        // Another window deleted it and saved another address's record under that name.
        QTest::newRow("file now another's") << 0 << true << PromptAnswer::Yes << deleted;
        QTest::newRow("temporary: no question, file kept")
            << 1 << false << PromptAnswer::Ok << deleted;
        QTest::newRow("nothing selected") << -1 << false << PromptAnswer::Ok << u""_s;
    }
    void deleteRecord()
    {
        QFETCH(int, tab);
        QFETCH(bool, theirs);
        QFETCH(PromptAnswer, answer);
        QFETCH(QString, status);
        writeSession("keep.xml", rec("keep", "http://keep/"));
        writeSession("x_y.xml", rec("My Record", "http://x/y"));
        panel_->CallLoadPermanentRecord();
        addTemporary(rec("temp", "http://x/y"));
        panel_->SSTab1->setCurrentIndex(qMax(tab, 0));
        if (theirs)
            writeSession("x_y.xml", rec("Theirs", "http://x_y"));
        panel_->lvwPermanent->setCurrentItem(panel_->lvwPermanent->findByKey("http://x/y"));
        if (tab < 0)
            panel_->lvwPermanent->clearSelection();
        if (tab != 1)
            host_->scripted.answer(answer);
        host_->status.clear();
        panel_->cmdDelete->click();

        const bool gone = status == u"Record session is deleted!"_s;
        const QString question = tab < 0
                                     ? u"Please select a record session from the list first!"_s
                                     : u"Are you sure to delete this permanent record session?"_s;
        QCOMPARE(host_->status, status);
        QCOMPARE(host_->scripted.texts(), tab == 1 ? QStringList() : QStringList{question});
        QCOMPARE(host_->scripted.questions().value(0).title, tab == 0 ? u"My Record"_s : QString());
        QCOMPARE(panel_->lvwPermanent->hasKey("http://x/y"), !(gone && tab == 0));
        QCOMPARE(panel_->ListView1->topLevelItemCount(), gone && tab == 1 ? 0 : 1);
        QVERIFY(QFileInfo::exists(path("session/x_y.xml")));
        QCOMPARE(panel_->counters.gbRecordChanged, gone);
    }

    void windowClosedDuringLoad()
    {
        for (int i = 0; i < 20; ++i)
            writeSession(u"s%1.xml"_s.arg(i), rec("s", u"http://s/%1"_s.arg(i)));
        QTimer::singleShot(0, this, [this] { delete window_; });
        panel_->CallLoadPermanentRecord();
        QVERIFY(host_->status.isEmpty()); // the load stopped with the window
    }

    // Items added after a sort land in their place, ignoring case; equal ones after.
    void sortedListPlacesNewItems_data()
    {
        QTest::addColumn<bool>("ascending");
        QTest::addColumn<QStringList>("shown"); // "b" and "D" sorted, then "C", "A", "B" added
        QTest::newRow("ascending") << true << QStringList{"A", "b", "B", "C", "D"};
        QTest::newRow("descending") << false << QStringList{"D", "C", "b", "B", "A"};
    }
    void sortedListPlacesNewItems()
    {
        QFETCH(bool, ascending);
        QFETCH(QStringList, shown);
        RecordList list;
        list.resetColumns();
        for (const char* name : {"b", "D", "C", "A", "B"}) {
            if (list.topLevelItemCount() == 2)
                list.sortRecords(0, ascending ? Qt::AscendingOrder : Qt::DescendingOrder);
            QTreeWidgetItem* item = RecordList::createItem();
            item->setText(0, name);
            list.appendItem(item);
        }
        QCOMPARE(column(&list), shown);
    }

    void longLoadLandsInGrowingBatches()
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
    }

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

QTEST_MAIN(TestRecordPanel)
#include "tst_recordpanel.moc"
