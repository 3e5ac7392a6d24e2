#pragma once

#include "browser.h"
#include "fakedocument.h"

#include <QList>
#include <QPointer>
#include <QString>
#include <QStringList>
#include <functional>
#include <memory>

class QWidget;

namespace brackenly {

// The engine double of a browser: shows a FakeDocument tree, records what the code under
// test asked of it and lets the test raise the engine's events at will. Nothing happens
// on its own: a Navigate only records (and runs onNavigate); the test decides when and
// what completes.
class FakeBrowser : public Browser
{
    Q_OBJECT
public:
    struct NavigateCall
    {
        QString url;
        bool navigate2 = false;
        bool operator==(const NavigateCall&) const = default;
    };

    // Owned by parent (a window), like the real one; widget() is a plain child widget of it.
    explicit FakeBrowser(QWidget* parent = nullptr);
    ~FakeBrowser() override;

    // ---- Browser
    QWidget* widget() override;
    void Navigate(const QString& url) override;
    void Navigate2(const QString& url) override;
    void GoBack() override;
    void setSilent(bool silent) override { silent_ = silent; }
    bool silent() const override { return silent_; }
    void setRegisterAsBrowser(bool on) override { registerAsBrowser_ = on; }
    // Walks the document tree; raises EngineError without a document, for an index out of
    // range or a refused frame on the way.
    std::shared_ptr<Document> documentAt(const QList<int>& path) override;

    // ---- what was asked
    const QList<NavigateCall>& navigateCalls() const { return navigateCalls_; }
    // The texts of Navigate and Navigate2, in order.
    QStringList navigatedUrls() const;
    void clearNavigations() { navigateCalls_.clear(); }
    int goBackCount() const { return goBackCount_; }
    bool registeredAsBrowser() const { return registerAsBrowser_; }
    int documentAtCalls() const { return documentAtCalls_; }

    // Runs after a Navigate or Navigate2 was recorded (e.g. to load a page; use a queued
    // call if the real engine's asynchrony matters to the test).
    std::function<void(const QString& url)> onNavigate;
    // Runs after a GoBack was recorded.
    std::function<void()> onGoBack;

    // ---- driving it
    void setDocument(std::shared_ptr<FakeDocument> document);
    std::shared_ptr<FakeDocument> fakeDocument() const { return document_; }
    // The fake document at a frame path without any check or counting; nullptr if none.
    std::shared_ptr<FakeDocument> fakeDocumentAt(const QList<int>& path) const;
    // DocumentComplete for one frame; an empty url takes that document's address.
    void complete(const QList<int>& path, const QString& url = {});
    // DocumentComplete for every frame, depth-first with children before their parent,
    // then for the top document, as the real engine reports a load. Does nothing without a
    // document.
    void completeAll();
    // BeforeNavigate2, a new document, then completeAll(): a whole page load at once.
    void load(std::shared_ptr<FakeDocument> document);
    void beforeNavigate(const QString& url);
    // CommandStateChange(2, available), only when the state changes.
    void setBackAvailable(bool available);
    bool backAvailable() const { return backAvailable_; }
    // The engine's new-window request: what the window's NewWindow2 handler answers.
    Browser* requestWindow() { return requestNewWindow(); }
    void crashRenderer();

private:
    void completionsOf(const std::shared_ptr<FakeDocument>& document, QList<int>& path,
                       QList<QPair<QList<int>, QString>>& out) const;

    QPointer<QWidget> widget_;
    std::shared_ptr<FakeDocument> document_;
    QList<NavigateCall> navigateCalls_;
    int goBackCount_ = 0;
    int documentAtCalls_ = 0;
    bool silent_ = false;
    bool registerAsBrowser_ = false;
    bool backAvailable_ = false;
};

} // namespace brackenly
