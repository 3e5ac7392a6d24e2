#include "frmbrowser.h"

#include "appconstants.h"
#include "browserapp.h"
#include "browsermenus.h"
#include "centerform.h"
#include "formrecorder.h"
#include "frmabout.h"
#include "frmhome.h"
#include "frmproxy.h"
#include "harvesttexts.h"
#include "imageharvester.h"
#include "playbackdriver.h"
#include "popuprouter.h"
#include "prompt.h"
#include "recordfile.h"
#include "recordlist.h"
#include "recordpanel.h"
#include "runprogress.h"
#include "statusdots.h"
#include "windowharvesthost.h"
#include "windowlayout.h"
#include "windowplaybackhost.h"
#include "windowsessionhost.h"

#include <QAction>
#include <QCloseEvent>
#include <QFrame>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QProgressBar>
#include <QPushButton>
#include <QStatusBar>
#include <QTabWidget>
#include <algorithm>

#ifndef BRACKENLY_FULL_MENUS
#define BRACKENLY_FULL_MENUS 0
#endif

namespace brackenly {

using namespace twips;

namespace {

void place(QWidget* w, int left, int top, int width, int height)
{
    w->setGeometry(toPixels(left, top, width, height));
}

// The width in twips a control needs to show its caption whole, never less than drawn.
int fitWidth(const QWidget* w, int drawnTwips)
{
    return std::max(drawnTwips, fromPixels(w->sizeHint().width()));
}

QPushButton* makeButton(QWidget* parent, const char* name, const QString& caption)
{
    auto* b = new QPushButton(caption, parent);
    b->setObjectName(QString::fromLatin1(name));
    b->setAccessibleName(caption);
    return b;
}

} // namespace

frmBrowser::frmBrowser(BrowserApp& app, QWidget* parent) : QMainWindow(parent), app_(app)
{
    setObjectName(QStringLiteral("frmBrowser"));
    setAttribute(Qt::WA_DeleteOnClose);
    menus_ = new BrowserMenus(menuBar(), BRACKENLY_FULL_MENUS);
    createControls();
    connectSignals();
}

frmBrowser::~frmBrowser() = default;

void frmBrowser::createControls()
{
    client_ = new QWidget(this);
    client_->setObjectName(QStringLiteral("client"));
    setCentralWidget(client_);

    Frame1 = new QFrame(client_);
    Frame1->setObjectName(QStringLiteral("Frame1"));
    Frame1->setFrameShape(QFrame::NoFrame);
    place(Frame1, kFrameLeft, kFrameTop, kFrameWidth, kFrameHeight);
    cmdBack = makeButton(Frame1, "cmdBack", QStringLiteral("B A C K"));
    place(cmdBack, 0, 120, 3150, 495);
    cmdBack->setEnabled(false);
    cmdPlayback = makeButton(Frame1, "cmdPlayback", QStringLiteral("B R O W S E"));
    place(cmdPlayback, 3150, 120, 3150, 495);
    cmdSaveImage = makeButton(Frame1, "cmdSaveImage", kSaveImageText);
    place(cmdSaveImage, 6300, 120, 3150, 495);
    cmdSaveImage->setEnabled(false);
    cmdImageFolder =
        makeButton(Frame1, "cmdImageFolder", QStringLiteral("I M A G E    F O L D E R"));
    place(cmdImageFolder, 9450, 120, 3240, 495);

    lblUrl = new QLabel(QStringLiteral("Address:"), client_);
    lblUrl->setObjectName(QStringLiteral("lblUrl"));
    // The twips were drawn for a narrower font than most desktops have: the label and the
    // record buttons take what their captions need, the address box and the tab control
    // give it up (see Form_Resize).
    lblUrlTw_ = fitWidth(lblUrl, kLblUrlWidth);
    const int txtUrlLeft = kLblUrlLeft + lblUrlTw_ + kLabelGap;
    place(lblUrl, kLblUrlLeft, 840, lblUrlTw_, kLblUrlHeight);
    txtUrl = new QLineEdit(client_);
    txtUrl->setObjectName(QStringLiteral("txtUrl"));
    txtUrl->setAccessibleName(QStringLiteral("Address:"));
    lblUrl->setBuddy(txtUrl);
    QFont font = txtUrl->font();
    font.setPointSizeF(9.75);
    txtUrl->setFont(font);
    place(txtUrl, txtUrlLeft, 720, 12015 - (txtUrlLeft - kTxtUrlLeft), kTxtUrlHeight);

    wbMyBrowser = app_.services().browsers->create(client_);
    wbMyBrowser->setObjectName(QStringLiteral("wbMyBrowser"));
    wbMyBrowser->widget()->setObjectName(QStringLiteral("wbMyBrowser"));
    place(wbMyBrowser->widget(), kBrowserLeft, 1200, 12735, 5295);

    StatusBar1 = new QStatusBar(client_);
    StatusBar1->setObjectName(QStringLiteral("StatusBar1"));
    StatusBar1->setSizeGripEnabled(false);
    for (int i = 0; i < 3; ++i) {
        panels_[i] = new QLabel(StatusBar1);
        panels_[i]->setObjectName(QStringLiteral("StatusBar1Panel%1").arg(i + 1));
        // The text is the panel's accessible name; a fixed name would hide it.
        panels_[i]->setAccessibleDescription(QStringLiteral("Status panel %1").arg(i + 1));
        // A fixed size keeps a new text from relaying out (and repainting) the whole bar.
        panels_[i]->setFixedHeight(panels_[i]->sizeHint().height());
        StatusBar1->addWidget(panels_[i]);
    }
    prgRun = new QProgressBar(StatusBar1);
    prgRun->setObjectName(QStringLiteral("prgRun"));
    prgRun->setAccessibleName(QStringLiteral("Image-saving progress"));
    prgRun->setFormat(QStringLiteral("%v / %m"));
    prgRun->setFixedWidth(toPixels(kRunProgressWidth));
    StatusBar1->addPermanentWidget(prgRun);
    prgRun->hide();

    sessionHost_ = std::make_unique<WindowSessionHost>(*this);
    records_ = new RecordPanel(client_, *sessionHost_);
    // The record buttons take the width their captions need at the desktop font (a wider
    // font than the twips were drawn for); the tab control gives it up.
    for (QPushButton* b :
         {records_->cmdEdit, records_->cmdDelete, records_->cmdSave, records_->cmdFill})
        recordButtonTw_ = std::max(recordButtonTw_, fitWidth(b, kRecordButtonWidth));
    const int widerBy = toPixels(recordButtonTw_) - toPixels(kRecordButtonWidth);
    QRect tabs = records_->SSTab1->geometry();
    tabs.setWidth(tabs.width() - widerBy);
    records_->SSTab1->setGeometry(tabs);
    for (QPushButton* b :
         {records_->cmdEdit, records_->cmdDelete, records_->cmdSave, records_->cmdFill})
        b->setGeometry(b->geometry().adjusted(-widerBy, 0, 0, 0));
    // "Auto Record Form": submissions of this window's pages become temporary records.
    new FormRecorder(*wbMyBrowser, *menus_->mnuAutoRecord, *records_->ListView1, records_->counters,
                     records_);

    playbackHost_ = std::make_unique<WindowPlaybackHost>(*this);
    playback_ = new PlaybackDriver(
        *playbackHost_,
        {menus_->mnuPromptFill, menus_->mnuManualClick, menus_->mnuAutoClick, menus_->mnuNoFill},
        this);
    setPlaybackStep(
        [this](const FrameRef& pDisp, const QString& url) { playback_->PlaybackStep(pDisp, url); });

    harvestHost_ = std::make_unique<WindowHarvestHost>(*this);
    harvester_ = new ImageHarvester(harvestHost_.get(), app_.services(), this);
    harvester_->setObjectName(QStringLiteral("harvester"));
    popupRouter_ = new PopupRouter(harvestHost_.get(), app_.services(), this);
    popupRouter_->setObjectName(QStringLiteral("popupRouter"));
    popupRouter_->install(wbMyBrowser);
    ShowRunProgress(harvester_, prgRun);

    Timer1 = new QTimer(this);
    Timer1->setObjectName(QStringLiteral("Timer1"));
    Timer1->setInterval(1000);

    using C = LayoutControl;
    layoutWidgets_ = {{C::Frame1, Frame1},
                      {C::lblUrl, lblUrl},
                      {C::txtUrl, txtUrl},
                      {C::wbMyBrowser, wbMyBrowser->widget()},
                      {C::SSTab1, records_->SSTab1},
                      {C::lvwPermanent, records_->lvwPermanent},
                      {C::ListView1, records_->ListView1},
                      {C::cmdEdit, records_->cmdEdit},
                      {C::cmdDelete, records_->cmdDelete},
                      {C::cmdSave, records_->cmdSave},
                      {C::cmdFill, records_->cmdFill},
                      {C::Panel1, panels_[0]},
                      {C::Panel2, panels_[1]},
                      {C::Panel3, panels_[2]}};
    client_->setMinimumSize(1, 1);
    resize(toPixels(kClientWidth), toPixels(kClientHeight) + menuBar()->sizeHint().height());
}

void frmBrowser::connectSignals()
{
    connect(cmdBack, &QPushButton::clicked, this, &frmBrowser::cmdBack_Click);
    connect(cmdPlayback, &QPushButton::clicked, this, &frmBrowser::cmdPlayback_Click);
    connect(cmdSaveImage, &QPushButton::clicked, harvester_, &ImageHarvester::mnuSaveImage_Click);
    connect(menus_->mnuSaveImage, &QAction::triggered, harvester_,
            &ImageHarvester::mnuSaveImage_Click);
    connect(cmdImageFolder, &QPushButton::clicked, harvester_,
            &ImageHarvester::cmdImageFolder_Click);
    // The run's bar takes its room from panel 1.
    connect(harvester_, &ImageHarvester::runStarted, this, &frmBrowser::Form_Resize);
    connect(harvester_, &ImageHarvester::runFinished, this, &frmBrowser::Form_Resize);
    connect(Timer1, &QTimer::timeout, this, &frmBrowser::Timer1_Timer);
    connect(records_->cmdFill, &QPushButton::clicked, playback_, &PlaybackDriver::cmdFill_Click);
    connect(menus_->mnuExit, &QAction::triggered, this, &frmBrowser::mnuExit_Click);
    connect(menus_->mnuHideRecord, &QAction::triggered, this, &frmBrowser::mnuHideRecord_Click);
    connect(menus_->mnuMaxScreen, &QAction::triggered, this, &frmBrowser::mnuMaxScreen_Click);
    connect(menus_->mnuAbout, &QAction::triggered, this, &frmBrowser::mnuAbout_Click);
    connect(menus_->mnuHome, &QAction::triggered, this, &frmBrowser::mnuHome_Click);
    connect(menus_->mnuProxy, &QAction::triggered, this, &frmBrowser::mnuProxy_Click);
    connect(menus_->mnuSearch, &QAction::triggered, this,
            [this] { wbMyBrowser->Navigate2(kSearchUrl); });
    connect(menus_->mnuWebsite, &QAction::triggered, this,
            [this] { wbMyBrowser->Navigate2(kWebsiteUrl); });

    connect(wbMyBrowser, &Browser::BeforeNavigate2, this, &frmBrowser::wbMyBrowser_BeforeNavigate2);
    connect(wbMyBrowser, &Browser::DocumentComplete, this,
            &frmBrowser::wbMyBrowser_DocumentComplete);
    connect(wbMyBrowser, &Browser::CommandStateChange, this,
            &frmBrowser::wbMyBrowser_CommandStateChange);
    connect(wbMyBrowser, &Browser::RenderProcessGone, this, [this] {
        // The page died: stop the busy dots so the window does not look stuck.
        Timer1->stop();
        setStatusText(QString());
    });
}

void frmBrowser::Form_Load()
{
    gbGobackFlag = false;
    harvestRun.SavingImages = false;
    if (objParentForm.isNull()) {
        glngPopupLevel = 0;
        setWindowTitle(kFirstWindowCaption);
    } else {
        menus_->mnuMaxScreen->setChecked(objParentForm->menus_->mnuMaxScreen->isChecked());
        // Back returns to the opener once this window's own history is used up.
        cmdBack->setEnabled(true);
    }
    app_.loadProxyDialog();
    Timer1->stop();
    CallLoadPermanentRecord();
    if (!objParentForm.isNull()) {
        TakeModesFromParent();
        objParentForm->hide();
    }
    HideRecordPanes();
    Form_Resize();
}

void frmBrowser::CallLoadPermanentRecord()
{
    records_->CallLoadPermanentRecord();
}

void frmBrowser::TakeModesFromParent()
{
    if (objParentForm.isNull())
        return;
    BrowserMenus* p = objParentForm->menus_;
    menus_->mnuAutoRecord->setChecked(p->mnuAutoRecord->isChecked());
    menus_->mnuPromptFill->setChecked(p->mnuPromptFill->isChecked());
    menus_->mnuAutoClick->setChecked(p->mnuAutoClick->isChecked());
}

void frmBrowser::ReturnModesToParent()
{
    if (objParentForm.isNull())
        return;
    BrowserMenus* p = objParentForm->menus_;
    p->mnuAutoRecord->setChecked(menus_->mnuAutoRecord->isChecked());
    p->mnuPromptFill->setChecked(menus_->mnuPromptFill->isChecked());
    p->mnuAutoClick->setChecked(menus_->mnuAutoClick->isChecked());
}

bool frmBrowser::Form_QueryUnload()
{
    if (objParentForm.isNull())
        return false;
    frmBrowser* parent = objParentForm;
    parent->show();
    if (recordsChanged())
        parent->CallLoadPermanentRecord();
    ReturnModesToParent();
    return true;
}

bool frmBrowser::recordsChanged() const
{
    return records_->counters.gbRecordChanged;
}

bool frmBrowser::hasTemporaryRecords() const
{
    return records_->ListView1->topLevelItemCount() > 0;
}

void frmBrowser::closeEvent(QCloseEvent* event)
{
    if (app_.isEnding() || unloaded_) {
        event->accept();
        return;
    }
    if (isFirstWindow()) {
        // Closing the first window ends the program the way Exit does, question included.
        event->ignore();
        mnuExit_Click();
        return;
    }
    // Temporary records go with the window: ask first, as Exit does.
    if (hasTemporaryRecords()) {
        QPointer<frmBrowser> self(this);
        const PromptAnswer answer = app_.services().prompt->ask(
            this,
            QStringLiteral("You have temporary record not saved as permanent yet, do you really "
                           "want to close this window?"),
            QString(), PromptButtons::YesNo);
        if (!self)
            return;
        if (answer != PromptAnswer::Yes) {
            event->ignore();
            return;
        }
        if (app_.isEnding() || unloaded_) {
            event->accept();
            return;
        }
    }
    unloaded_ = true;
    try {
        Form_QueryUnload();
    } catch (const std::exception&) {
        // The opener may be gone; the close goes on regardless.
    }
    event->accept();
}

void frmBrowser::mnuExit_Click()
{
    if (app_.exitProxyStep)
        app_.exitProxyStep(this);
    if (hasTemporaryRecords()) {
        const PromptAnswer answer = app_.services().prompt->ask(
            this,
            QStringLiteral("You have temporary record not saved as permanent yet, do you really "
                           "want to exit?"),
            QString(), PromptButtons::YesNo);
        if (answer != PromptAnswer::Yes)
            return;
    }
    unloaded_ = true;
    Form_QueryUnload();
    hide();
    app_.endProgram();
}

void frmBrowser::cmdBack_Click()
{
    if (isFirstWindow()) {
        gbGobackFlag = true;
        wbMyBrowser->GoBack();
        return;
    }
    if (bBackEnabled) {
        gbGobackFlag = true;
        wbMyBrowser->GoBack();
    } else {
        close();
    }
}

void frmBrowser::cmdPlayback_Click()
{
    gstrCurMode = QStringLiteral("Playback");
    LastCompletedUrl.clear();
    wbMyBrowser->setSilent(true);
    wbMyBrowser->Navigate(txtUrl->text());
}

void frmBrowser::wbMyBrowser_BeforeNavigate2(const QString& url)
{
    setStatusText(QStringLiteral("Going to ") + url + QStringLiteral("..."));
    if (!harvestRun.SavingImages)
        cmdSaveImage->setEnabled(false);
    Timer1->setInterval(1000);
    Timer1->start();
}

void frmBrowser::Timer1_Timer()
{
    setStatusText(AnimateDots(statusText()));
}

void frmBrowser::wbMyBrowser_DocumentComplete(const FrameRef& pDisp, const QString& url)
{
    Timer1->stop();
    setStatusText(QString());
    strLastUrl = url;
    cmdSaveImage->setEnabled(strLastUrl != QLatin1String("about:blank") && !strLastUrl.isEmpty());
    if (playbackStep_) {
        QPointer<frmBrowser> self(this);
        try {
            playbackStep_(pDisp, url);
        } catch (const std::exception&) {
            return; // the step failed: this completion is not remembered
        }
        if (!self)
            return;
    }
    LastCompletedUrl = url;
    LastCompletedBrowser = pDisp;
    gbGobackFlag = false;
}

void frmBrowser::wbMyBrowser_CommandStateChange(int command, bool enable)
{
    if (command != 2)
        return;
    if (enable) {
        if (isFirstWindow())
            cmdBack->setEnabled(true);
        bBackEnabled = true;
    } else {
        if (isFirstWindow())
            cmdBack->setEnabled(false);
        bBackEnabled = false;
        if (!isFirstWindow() && gbGobackFlag)
            close();
    }
}

void frmBrowser::mnuHideRecord_Click()
{
    if (menus_->mnuHideRecord->isChecked())
        HideRecordPanes();
    else
        ShowRecordPanes();
    Form_Resize();
}

void frmBrowser::mnuMaxScreen_Click()
{
    Form_Resize();
}

void frmBrowser::mnuAbout_Click()
{
    frmAbout about(this, app_.services().programFolder);
    about.exec();
}

void frmBrowser::mnuHome_Click()
{
    ShowPreference(
        this, *app_.preferences(), gstrSaveFolder, SettingsFilePath(records_->gstrSessionPath),
        [this](const QString& text) { setStatusText(text); }, *app_.services().prompt);
}

void frmBrowser::mnuProxy_Click()
{
    frmProxy* dialog = app_.loadProxyDialog();
    CenterForm(dialog);
    dialog->exec();
}

void frmBrowser::setStatusText(const QString& text)
{
    panels_[0]->setText(text);
}

QString frmBrowser::statusText() const
{
    return panels_[0]->text();
}

QLabel* frmBrowser::statusPanel(int index) const
{
    return (index >= 1 && index <= 3) ? panels_[index - 1] : nullptr;
}

} // namespace brackenly
