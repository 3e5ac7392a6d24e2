#pragma once

#include "services.h"

#include <QList>
#include <QObject>
#include <QPointer>
#include <functional>
#include <memory>

namespace brackenly {

class frmBrowser;
class frmHome;
class frmProxy;

// Program-wide state: the services, the first window and the dialogs loaded once.
class BrowserApp : public QObject
{
    Q_OBJECT
public:
    explicit BrowserApp(Services services, QObject* parent = nullptr);
    ~BrowserApp() override;

    Services& services() { return services_; }
    frmBrowser* firstWindow() const;

    // The first window, loaded, centred and shown.
    frmBrowser* startFirstWindow();
    // A new main window instance, not yet loaded (its creator sets its opener first).
    frmBrowser* createWindow();
    QList<frmBrowser*> windows() const;

    // Ends the program at once: no other window runs its close steps.
    void endProgram();
    bool isEnding() const { return ending_; }

    // Exit's first step: switches an active proxy off (installed by the proxy dialog).
    std::function<void(frmBrowser*)> exitProxyStep;

    // The proxy dialog: loaded hidden at start-up, once per program.
    frmProxy* loadProxyDialog();
    // The preferences dialog, likewise loaded once.
    frmHome* preferences();

private:
    Services services_;
    QPointer<frmBrowser> firstWindow_;
    QList<QPointer<frmBrowser>> windows_;
    bool ending_ = false;
    std::unique_ptr<frmProxy> proxyDialog_;
    std::unique_ptr<frmHome> preferences_;
};

} // namespace brackenly
