#pragma once

#include "dom.h"

#include <QList>
#include <QObject>
#include <QPointer>
#include <QString>
#include <functional>
#include <memory>
#include <utility>

class QWidget;

namespace brackenly {

class Browser;

// A "browser object": the top document of a browser, or one of its frames, named by
// the path of frame indexes from the top ({} is the top document). One that a completion
// hands over is tied to the document that completed (its identity): once another document
// stands at that path, or none, it reaches nothing.
class FrameRef
{
public:
    FrameRef() = default;
    // identity 0: whatever document stands at the path when asked.
    FrameRef(Browser* browser, QList<int> path, qint64 identity = 0);

    Browser* browser() const { return browser_; }
    const QList<int>& path() const { return path_; }
    qint64 identity() const { return identity_; }
    bool isNull() const { return browser_.isNull(); }
    bool isTop() const { return path_.isEmpty(); }
    // The document this browser object shows; raises EngineError when there is none, or
    // when it is no longer the document this reference is tied to.
    std::shared_ptr<Document> document() const;

    bool operator==(const FrameRef& other) const = default;

private:
    QPointer<Browser> browser_;
    QList<int> path_;
    qint64 identity_ = 0;
};

// A form submitted in the top document or in a frame, as the engine is about to send it.
struct FormSubmission
{
    FrameRef frame; // the document that holds the form
    QString url;    // that document's address
    QString action; // the form's action as the document model's Action member gives it
    QString target; // the form's target frame name
    // The successful controls in submission order, values as typed (a file: its name).
    QList<std::pair<QString, QString>> fields;
};

// The embedded web browser control. One per window that shows a page.
class Browser : public QObject
{
    Q_OBJECT
public:
    // NewWindow2: return the browser that takes the new page, or nullptr to block it.
    using NewWindowHandler = std::function<Browser*()>;

    using QObject::QObject;
    ~Browser() override = default;

    virtual QWidget* widget() = 0;

    // Loads the text the way a browser's address box does; nothing is checked here.
    virtual void Navigate(const QString& url) = 0;
    virtual void Navigate2(const QString& url) { Navigate(url); }
    virtual void GoBack() = 0;
    // While set, the engine shows no dialog of its own.
    virtual void setSilent(bool silent) = 0;
    virtual bool silent() const = 0;
    virtual void setRegisterAsBrowser(bool on) = 0;
    // Every image this browser shows is about to be saved: the engine may read their bytes
    // once the page has loaded, ahead of the downloads.
    virtual void setPrefetchImages(bool on) { Q_UNUSED(on); }

    // The document at a frame path; raises EngineError (no document, refused frame, or
    // identity not 0 and another document than that one at the path).
    virtual std::shared_ptr<brackenly::Document> documentAt(const QList<int>& path,
                                                            qint64 identity = 0) = 0;
    std::shared_ptr<brackenly::Document> document() { return documentAt({}); }
    FrameRef topFrame() { return FrameRef(this, {}); }

    void setNewWindowHandler(NewWindowHandler handler) { newWindowHandler_ = std::move(handler); }
    // While the handler runs: whether the request came from a user's gesture (a click, a
    // key) rather than from a script on its own.
    bool newWindowUserInitiated() const { return newWindowUserInitiated_; }

Q_SIGNALS:
    void BeforeNavigate2(const QString& url);
    // The server sent the top document's navigation on to url.
    void Redirected(const QString& url);
    // Once per frame and once for the top document, frames first; pDisp is tied to the
    // document that completed.
    void DocumentComplete(const brackenly::FrameRef& pDisp, const QString& url);
    // Command 2 is Back.
    void CommandStateChange(int command, bool enable);
    // The engine is done with loading the top document: ok, or not (no answer, refused,
    // stopped, an HTTP error) and why. It may come before or after DocumentComplete; an
    // error page shown instead still completes.
    void LoadEnded(const QString& url, bool ok, const QString& reason);
    // The renderer died; the browser stays usable for the next navigation.
    void RenderProcessGone();
    // A form is being submitted (by the user or by the page's script).
    void FormSubmitted(const brackenly::FormSubmission& submission);

protected:
    // The engine's new-window request: nullptr blocks it (also when nobody handles it).
    Browser* requestNewWindow(bool userInitiated = true)
    {
        newWindowUserInitiated_ = userInitiated;
        return newWindowHandler_ ? newWindowHandler_() : nullptr;
    }

private:
    NewWindowHandler newWindowHandler_;
    bool newWindowUserInitiated_ = true;
};

// Makes the browsers of every window, so windows run on the real engine or a double.
class BrowserFactory
{
public:
    virtual ~BrowserFactory() = default;
    virtual Browser* create(QWidget* parent) = 0;
    // The process proxy was just changed: every browser made here must use the new setting
    // from its next request on. May wait on events (the windows stay responsive).
    virtual void followProcessProxy() {}
};

} // namespace brackenly

Q_DECLARE_METATYPE(brackenly::FrameRef)
Q_DECLARE_METATYPE(brackenly::FormSubmission)
