#pragma once

#include "browser.h"
#include "fakedocument.h"

#include <QList>
#include <QPointer>
#include <QString>
#include <QStringList>
#include <QWidget>
#include <functional>
#include <memory>

namespace brackenly {

// The engine double of a browser: shows a FakeDocument tree, records what the code under
// test asked of it and lets the test raise the engine's events at will. Nothing happens
// on its own: a Navigate only records (and runs onNavigate); the test decides when and
// what completes.
class FakeBrowser : public Browser
{
    Q_OBJECT
public:
    // Owned by parent (a window), like the real one; widget() is a plain child widget of it.
    explicit FakeBrowser(QWidget* parent = nullptr);
    ~FakeBrowser() override;

    // ---- Browser
    QWidget* widget() override { return widget_.data(); }
    void Navigate(const QString& url) override;
    void Navigate2(const QString& url) override { Navigate(url); }
    void GoBack() override { ++goBackCount_; }
    void setSilent(bool silent) override { silent_ = silent; }
    bool silent() const override { return silent_; }
    void setRegisterAsBrowser(bool) override {}
    // Walks the document tree; raises EngineError without a document, for an index out of
    // range, a refused frame on the way, or another document than `identity` at the end.
    std::shared_ptr<Document> documentAt(const QList<int>& path, qint64 identity = 0) override;

    // ---- what was asked
    // The texts of Navigate and Navigate2, in order.
    const QStringList& navigatedUrls() const { return navigated_; }
    int goBackCount() const { return goBackCount_; }
    // Runs after a Navigate or Navigate2 was recorded (e.g. to load a page; use a queued
    // call if the real engine's asynchrony matters to the test).
    std::function<void(const QString& url)> onNavigate;

    // ---- driving it
    // Shows the document; the one shown before is gone, as after a navigation.
    void setDocument(std::shared_ptr<FakeDocument> document);
    // DocumentComplete for one frame, tied to the document now at its path (raises as
    // documentAt does); an empty url takes the top document's address.
    void complete(const QList<int>& path, const QString& url = {});
    // DocumentComplete for every frame, depth-first with children before their parent,
    // then for the top document, as the real engine reports a load.
    void completeAll();
    // BeforeNavigate2, a new document, then completeAll(): a whole page load at once.
    void load(std::shared_ptr<FakeDocument> document);
    void beforeNavigate(const QString& url) { Q_EMIT BeforeNavigate2(url); }
    // CommandStateChange(2, available), only when the state changes.
    void setBackAvailable(bool available);
    // The engine's new-window request: what the window's NewWindow2 handler answers.
    Browser* requestWindow(bool userInitiated = true) { return requestNewWindow(userInitiated); }

private:
    QPointer<QWidget> widget_;
    std::shared_ptr<FakeDocument> document_;
    QStringList navigated_;
    int goBackCount_ = 0;
    bool silent_ = false;
    bool backAvailable_ = false;
};

} // namespace brackenly
