#include "fixtureroutes.h"

#include <QMutexLocker>
#include <exception>

namespace brackenly {

void FixtureRoutes::set(const QString& path, const FixtureResponse& response)
{
    QMutexLocker lock(&mutex_);
    routes_[path] = Route{response, {}};
}

void FixtureRoutes::update(const QString& path, const std::function<void(FixtureResponse&)>& change)
{
    QMutexLocker lock(&mutex_);
    auto it = routes_.find(path);
    if (it == routes_.end())
        it = routes_.insert(path, Route{FixtureResponse::html({}), {}});
    change(it->response);
}

void FixtureRoutes::setHandler(const QString& path, Handler handler)
{
    QMutexLocker lock(&mutex_);
    auto it = routes_.find(path);
    if (it == routes_.end())
        it = routes_.insert(path, Route{FixtureResponse::html({}), {}});
    it->handler = std::move(handler);
}

void FixtureRoutes::remove(const QString& path)
{
    QMutexLocker lock(&mutex_);
    routes_.remove(path);
}

FixtureResponse FixtureRoutes::respond(const FixtureRequest& request) const
{
    Route route;
    {
        QMutexLocker lock(&mutex_);
        const auto it = routes_.constFind(request.path);
        if (it == routes_.cend())
            return FixtureResponse::error(404);
        route = *it;
    }
    if (!route.handler)
        return route.response;
    FixtureResponse response;
    try {
        response = route.handler(request);
    } catch (const std::exception& e) {
        qWarning("FixtureServer: handler for %s threw: %s", qPrintable(request.path), e.what());
        return FixtureResponse::error(500);
    }
    response.headers += route.response.headers;
    response.delayMs = std::max(response.delayMs, route.response.delayMs);
    return response;
}

void FixtureRoutes::record(const FixtureRequest& request)
{
    QMutexLocker lock(&mutex_);
    requests_.append(request);
}

QList<FixtureRequest> FixtureRoutes::requests() const
{
    QMutexLocker lock(&mutex_);
    return requests_;
}

int FixtureRoutes::count(const QString& path) const
{
    QMutexLocker lock(&mutex_);
    int n = 0;
    for (const FixtureRequest& request : requests_)
        n += request.path == path ? 1 : 0;
    return n;
}

void FixtureRoutes::clear()
{
    QMutexLocker lock(&mutex_);
    requests_.clear();
}

} // namespace brackenly
