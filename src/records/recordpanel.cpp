#include "recordpanel.h"

#include "datafolder.h"
#include "programdrive.h"
#include "prompt.h"
#include "recordfile.h"
#include "recordlist.h"
#include "recordtext.h"
#include "sessionhost.h"
#include "twips.h"

#include <QCoreApplication>
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QHeaderView>
#include <QPointer>
#include <QPushButton>
#include <QTabWidget>
#include <exception>

namespace brackenly {

namespace {

const QString kSelectFirst = QStringLiteral("Please select a record session from the list first!");
const QString kConfirmDelete =
    QStringLiteral("Are you sure to delete this permanent record session?");
const QString kDeleteAborted = QStringLiteral("Delete action is aborted!");
const QString kDeleted = QStringLiteral("Record session is deleted!");
const QString kPermanentCountSuffix = QStringLiteral(" Permanent Record");

QPushButton* makeButton(QWidget* window, const char* name, const QString& caption,
                        const QRect& geometry)
{
    auto* button = new QPushButton(caption, window);
    button->setObjectName(QString::fromLatin1(name));
    button->setAccessibleName(caption);
    button->setGeometry(geometry);
    return button;
}

RecordList* makeList(QTabWidget* tabs, const char* name, const QString& caption)
{
    auto* page = new QWidget;
    auto* list = new RecordList(page);
    list->setObjectName(QString::fromLatin1(name));
    list->setAccessibleName(caption);
    // Below the 300-twip tab strip the list sits 60 twips down the page.
    list->setGeometry(twips::toPixels(120, 60, 10695, 2535));
    tabs->addTab(page, caption);
    return list;
}

bool isSessionFileName(const QString& name)
{
    return name.right(4).toLower() == QStringLiteral(".xml");
}

bool makeFolder(const QString& path)
{
    return QFileInfo(path).isDir() || QDir().mkdir(path);
}

} // namespace

RecordPanel::RecordPanel(QWidget* window, SessionHost& host) : QObject(window), host_(host)
{
    SSTab1 = new QTabWidget(window);
    SSTab1->setObjectName(QStringLiteral("SSTab1"));
    SSTab1->setGeometry(twips::toPixels(120, 6600, 10935, 3015));
    lvwPermanent = makeList(SSTab1, "lvwPermanent", QStringLiteral("Permanent Record"));
    ListView1 = makeList(SSTab1, "ListView1", QStringLiteral("Temporary Record"));
    SSTab1->setCurrentIndex(0);

    cmdEdit = makeButton(window, "cmdEdit", QStringLiteral("Edit"),
                         twips::toPixels(11160, 6600, 1695, 495));
    cmdDelete = makeButton(window, "cmdDelete", QStringLiteral("Delete"),
                           twips::toPixels(11160, 7320, 1695, 495));
    cmdSave = makeButton(window, "cmdSave", QStringLiteral("Move Record to Permanent"),
                         twips::toPixels(11160, 8040, 1695, 495));
    cmdFill = makeButton(window, "cmdFill", QStringLiteral("Go to"),
                         twips::toPixels(11160, 8760, 1695, 495));

    // Only the permanent list sorts on a header click.
    lvwPermanent->header()->setSectionsClickable(true);
    connect(lvwPermanent->header(), &QHeaderView::sectionClicked, this,
            [this](int section) { lvwPermanent_ColumnClick(section + 1); });
    connect(SSTab1, &QTabWidget::currentChanged, this, [this](int index) {
        const int previous = shownTab_;
        shownTab_ = index;
        SSTab1_Click(previous);
    });
    connect(cmdSave, &QPushButton::clicked, this, &RecordPanel::cmdSave_Click);
    connect(cmdDelete, &QPushButton::clicked, this, &RecordPanel::cmdDelete_Click);
}

RecordList* RecordPanel::GetActiveRecordList() const
{
    return glngCurTab != 0 ? ListView1 : lvwPermanent;
}

void RecordPanel::CallLoadPermanentRecord()
{
    QPointer<RecordPanel> self(this);
    try {
        LoadPermanentSession();
        if (!self)
            return;
        SortPermanentList(0);
        counters.gbRecordChanged = false;
    } catch (const std::exception&) {
    }
}

void RecordPanel::LoadPermanentSession()
{
    const quint64 generation = ++loadGeneration_;
    QPointer<RecordPanel> self(this);
    QPointer<RecordList> permanent(lvwPermanent);
    try {
        const bool complete = loadSessionFolder(generation);
        if (!self || !permanent)
            return;
        permanent->endBulkLoad();
        if (!complete)
            return;
        if (host_.saveFolder().isEmpty()) {
            const QString folder = DefaultImageFolder(host_.hostProgramFolder());
            host_.setSaveFolder(folder);
            if (!makeFolder(folder))
                return;
            host_.setImageFolderBox(folder);
        }
        if (lvwPermanent->topLevelItemCount() > 0)
            lvwPermanent->setCurrentItem(lvwPermanent->topLevelItem(0));
        host_.setStatusText(QString::number(counters.glngNoOfPermanentSession) +
                            kPermanentCountSuffix);
    } catch (const std::exception&) {
        if (permanent)
            permanent->endBulkLoad();
    }
}

// Steps up to the end of the folder scan; false when the load is to end here.
bool RecordPanel::loadSessionFolder(quint64 generation)
{
    // The temporary records are not on disk: a reload (a pop-up level window closing) keeps
    // them, and the record buttons keep acting on the list that is showing.
    ListView1->ensureColumns();
    lvwPermanent->resetColumns();
    SSTab1_Click(SSTab1->currentIndex() == 0 ? 1 : 0);

    gstrSessionPath = SessionFolderPath(host_.hostProgramFolder());
    if (!MakePrivateFolder(gstrSessionPath))
        return false;
    const QFileInfo folderInfo(gstrSessionPath);
    if (!folderInfo.isReadable() || !folderInfo.isExecutable())
        return false;

    counters.glngNoOfPermanentSession = 0;
    // Files arrive in batches and unsorted; the list sorts once at the end.
    lvwPermanent->beginBulkLoad();
    QPointer<RecordPanel> self(this);
    // Hidden files too: a record whose address has seven characters or fewer is saved as
    // ".xml". Devices, FIFOs and sockets are never listed.
    QDirIterator it(gstrSessionPath, QDir::Files | QDir::Hidden | QDir::NoDotAndDotDot);
    while (it.hasNext()) {
        it.next();
        const QFileInfo info = it.fileInfo();
        if (info.size() > 0 && isSessionFileName(info.fileName()))
            readSessionFile(info);
        QCoreApplication::processEvents();
        // The window may have closed, or a nested reload may have started over.
        if (!self || generation != loadGeneration_)
            return false;
    }
    return true;
}

void RecordPanel::readSessionFile(const QFileInfo& file)
{
    QString text;
    if (!ReadTextFile(file, text))
        return;
    Record record;
    ParseRecordXml(text, record);
    if (record.Type.toLower() != QStringLiteral("home")) {
        AddRecord(*lvwPermanent, record, counters, file.filePath());
        ++counters.glngNoOfPermanentSession;
        return;
    }
    const Settings settings = ParseSettingsXml(text);
    host_.setSaveFolder(settings.imageFolder);
    host_.setHomePageBox(settings.home);
    host_.setImageFolderBox(settings.imageFolder);
}

void RecordPanel::SortPermanentList(int column)
{
    if (column < 0 || column >= lvwPermanent->columnCount())
        return;
    const Qt::SortOrder order =
        lvwPermanent->sortOrder() == Qt::AscendingOrder ? Qt::DescendingOrder : Qt::AscendingOrder;
    lvwPermanent->sortRecords(column, order);
}

void RecordPanel::lvwPermanent_ColumnClick(int columnIndex)
{
    SortPermanentList(columnIndex - 1);
}

void RecordPanel::SSTab1_Click(int previousTab)
{
    const bool permanentShowing = previousTab != 0;
    glngCurTab = permanentShowing ? 0 : 1;
    cmdSave->setEnabled(!permanentShowing);
    cmdFill->setEnabled(permanentShowing);
}

QString RecordPanel::sessionFilePath(const QString& url) const
{
    // Before the first load there is no session folder; never fall back to the root.
    return gstrSessionPath.isEmpty() ? QString() : SessionFilePath(gstrSessionPath, url);
}

void RecordPanel::tell(const QString& text, PromptIcon icon)
{
    host_.prompt().ask(host_.window(), text, QString(), PromptButtons::Ok, icon);
}

void RecordPanel::cmdSave_Click()
{
    try {
        RecordList* active = GetActiveRecordList();
        QTreeWidgetItem* selected = active->selectedRecordItem();
        if (!selected) {
            tell(kSelectFirst);
            return;
        }
        Record record;
        ReadRecordItem(selected, record);
        const QString key = MakeRecordKey(record.Url);

        // The file comes first: a record that could not be stored stays temporary.
        Record stored = record;
        stored.Session = PreviewSessionName(*lvwPermanent, key, record, counters);
        const QString text = BuildRecordXml(stored);
        // A file the load would skip as too large must not be written either.
        const qint64 bytes = TextFileBytes(text);
        if (bytes > kMaxTextFileBytes) {
            tell(QStringLiteral("The record session is too large to be saved: %1 bytes, more than "
                                "the %2 bytes (4 MiB) a session file may hold.")
                     .arg(bytes)
                     .arg(kMaxTextFileBytes),
                 PromptIcon::Exclamation);
            return;
        }
        // Another address may map to the same file name: that file is left alone.
        const QString path = gstrSessionPath.isEmpty()
                                 ? QString()
                                 : FreeSessionFilePath(gstrSessionPath, record.Url);
        if (path.isEmpty() || !WriteTextFile(path, text)) {
            const QString shown = path.isEmpty() ? sessionFilePath(record.Url) : path;
            tell(QStringLiteral("The record session could not be saved to the file ") +
                     QDir::toNativeSeparators(shown) + QStringLiteral("."),
                 PromptIcon::Exclamation);
            return;
        }
        PutRecord(*lvwPermanent, key, record, counters, path);
        // The selected item itself: a keyless duplicate cannot be found by its key.
        delete selected;
        counters.gbRecordChanged = true;
    } catch (const std::exception&) {
    }
}

void RecordPanel::cmdDelete_Click()
{
    try {
        QPointer<RecordPanel> self(this);
        RecordList* active = GetActiveRecordList();
        QTreeWidgetItem* selected = active->selectedRecordItem();
        if (!selected) {
            tell(kSelectFirst);
            return;
        }
        if (glngCurTab == 0) {
            const int urlColumn = RecordList::subItemColumn(selected, kFieldUrl);
            if (urlColumn < 0)
                return;
            const QString url = selected->text(urlColumn);
            // The file the record came from or went to; it may carry a number.
            QString path = selected->data(0, RecordList::FileRole).toString();
            if (path.isEmpty())
                path = sessionFilePath(url);
            const quint64 removalsBefore = active->removalCount();
            const PromptAnswer answer =
                host_.prompt().ask(host_.window(), kConfirmDelete, selected->text(0),
                                   PromptButtons::YesNo, PromptIcon::None);
            if (!self)
                return;
            if (answer != PromptAnswer::Yes) {
                host_.setStatusText(kDeleteAborted);
                return;
            }
            // Events ran while the question was open: act only if the item asked about is
            // surely still there and still selected.
            if (active->removalCount() != removalsBefore ||
                active->selectedRecordItem() != selected)
                return;
            // Only while it still holds this record: another window may have put another
            // address's record there since.
            if (!path.isEmpty() && HoldsRecordOf(path, MakeRecordKey(url))) {
                if (!QFile::remove(path)) {
                    tell(QStringLiteral("The record session file ") +
                             QDir::toNativeSeparators(path) +
                             QStringLiteral(" could not be deleted."),
                         PromptIcon::Exclamation);
                    return;
                }
            }
            --counters.glngNoOfPermanentSession;
        }
        delete selected;
        counters.gbRecordChanged = true;
        host_.setStatusText(kDeleted);
    } catch (const std::exception&) {
    }
}

} // namespace brackenly
