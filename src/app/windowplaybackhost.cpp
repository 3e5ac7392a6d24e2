#include "windowplaybackhost.h"

#include "browserapp.h"
#include "frmbrowser.h"
#include "recorditems.h"
#include "recordlist.h"
#include "recordpanel.h"

#include <QLineEdit>
#include <stdexcept>

namespace brackenly {

QWidget* WindowPlaybackHost::window()
{
    return &w_;
}

Prompt& WindowPlaybackHost::prompt()
{
    return *w_.app().services().prompt;
}

QString WindowPlaybackHost::currentMode()
{
    return w_.gstrCurMode;
}

QString WindowPlaybackHost::lastCompletedUrl()
{
    return w_.LastCompletedUrl;
}

int WindowPlaybackHost::permanentRecordCount()
{
    return w_.records()->lvwPermanent->topLevelItemCount();
}

Record WindowPlaybackHost::permanentRecord(int index)
{
    QTreeWidgetItem* item = w_.records()->lvwPermanent->topLevelItem(index);
    if (!item)
        throw std::out_of_range("no record at that position");
    Record record;
    ReadRecordItem(item, record);
    return record;
}

std::optional<Record> WindowPlaybackHost::selectedRecord()
{
    Record record;
    if (!GetSelectedRecord(*w_.records()->GetActiveRecordList(), record))
        return std::nullopt;
    return record;
}

void WindowPlaybackHost::goTo(const QString& url)
{
    w_.txtUrl->setText(url);
    w_.cmdPlayback_Click();
}

void WindowPlaybackHost::setStatusText(const QString& text)
{
    w_.setStatusText(text);
}

} // namespace brackenly
