#pragma once

#include <QString>
#include <stdexcept>

namespace brackenly {

// Raised by any document-model access that fails: no document yet, a refused
// (cross-origin) frame, a page that navigated away, hung or died, a missing element.
// Callers trap it the way their own handler is meant to end: quietly.
class EngineError : public std::runtime_error
{
public:
    explicit EngineError(const QString& what) : std::runtime_error(what.toStdString()) {}
};

} // namespace brackenly
