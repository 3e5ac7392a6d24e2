#pragma once

#include "fixturerequest.h"
#include "fixtureresponse.h"

#include <QHash>
#include <QList>
#include <QMutex>
#include <QString>
#include <functional>

namespace brackenly {

// The fixture server's routes and request log, shared between the test's thread and the
// server thread; every member locks.
class FixtureRoutes
{
public:
    using Handler = std::function<FixtureResponse(const FixtureRequest&)>;

    void set(const QString& path, const FixtureResponse& response);
    // Changes the route's answer; a missing route starts as an empty 200 page.
    void update(const QString& path, const std::function<void(FixtureResponse&)>& change);
    void setHandler(const QString& path, Handler handler);
    void remove(const QString& path);

    // The answer for a request, by its path alone. A handler runs outside the lock; the
    // route's extra headers and delay are added to what it returns.
    FixtureResponse respond(const FixtureRequest& request) const;

    void record(const FixtureRequest& request);
    QList<FixtureRequest> requests() const;
    int count(const QString& path) const;
    void clear();

private:
    struct Route
    {
        FixtureResponse response;
        Handler handler;
    };

    mutable QMutex mutex_;
    QHash<QString, Route> routes_;
    QList<FixtureRequest> requests_;
};

} // namespace brackenly
