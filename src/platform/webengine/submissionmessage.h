#pragma once

#include "browser.h"

#include <QJsonObject>
#include <optional>

namespace brackenly {

// The helper's report of a form submission ("k": "submit"): "p" the frame's index path,
// "u" the document's address, "a" the form's action, "g" its target, "f" the fields as
// [name, value] pairs. Nothing when any part is missing or of the wrong kind.
std::optional<FormSubmission> ParseSubmissionMessage(const QJsonObject& message, Browser* browser);

} // namespace brackenly
