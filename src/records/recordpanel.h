#pragma once

#include "prompt.h"
#include "recorditems.h"

#include <QObject>
#include <QString>

class QFileInfo;
class QPushButton;
class QTabWidget;
class QWidget;

namespace brackenly {

class RecordList;
class SessionHost;

// The record area of a main window: the tab control with the permanent and temporary
// lists, the four record buttons, and the permanent sessions on disk behind them.
// The controls are children of the window so its layout code can place them.
class RecordPanel : public QObject
{
    Q_OBJECT
public:
    RecordPanel(QWidget* window, SessionHost& host);

    // Controls (objectName = name, buttons' accessibleName = caption).
    QTabWidget* SSTab1 = nullptr; // tab 0 "Permanent Record", tab 1 "Temporary Record"
    RecordList* lvwPermanent = nullptr;
    RecordList* ListView1 = nullptr;
    QPushButton* cmdEdit = nullptr;   // "Edit": no action
    QPushButton* cmdDelete = nullptr; // "Delete"
    QPushButton* cmdSave = nullptr;   // "Move Record to Permanent"
    QPushButton* cmdFill = nullptr;   // "Go to": left for playback to connect

    // Window state kept here.
    qint32 glngCurTab = 0; // 0 permanent list active, 1 temporary list active
    QString gstrSessionPath;
    RecordCounters counters;

    // Reloads the sessions and settings, sorts by name and clears gbRecordChanged.
    void CallLoadPermanentRecord();
    // Rebuilds the permanent list from the session folder and reads the settings file. The
    // temporary list keeps its records.
    void LoadPermanentSession();
    // Sorts the permanent list by the 0-based column, flipping the direction.
    void SortPermanentList(int column);
    // A click on the permanent list's header; the index is 1-based.
    void lvwPermanent_ColumnClick(int columnIndex);
    void cmdSave_Click();
    void cmdDelete_Click();
    // The record tab switch; previousTab is the tab that was showing before.
    void SSTab1_Click(int previousTab);
    RecordList* GetActiveRecordList() const;

private:
    bool loadSessionFolder(quint64 generation);
    void readSessionFile(const QFileInfo& file);
    QString sessionFilePath(const QString& url) const;
    void tell(const QString& text, PromptIcon icon = PromptIcon::None);

    SessionHost& host_;
    int shownTab_ = 0;
    quint64 loadGeneration_ = 0;
};

} // namespace brackenly
