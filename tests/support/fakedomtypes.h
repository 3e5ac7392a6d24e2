#pragma once

#include "dom.h"

#include <QString>

namespace brackenly {

// The members of Document, for counting round trips and injecting faults.
enum class DomCall
{
    Url,
    FrameCount,
    Frame,
    Images,
    Links,
    Forms,
    ElementsByTagName,
    Markup,
    SetValue,
    SetChecked,
    SetOptionSelected,
    Click,
    Flush,
};

const char* domCallName(DomCall call);

// One write or click that reached a FakeDocument, in the order it happened.
struct DomWrite
{
    enum Kind
    {
        Value,
        Checked,
        OptionSelected,
        Click
    };

    ElementId handle = 0;
    Kind what = Value;
    QString value;     // Value: the text written
    bool flag = false; // Checked, OptionSelected: the state written
    int option = -1;   // OptionSelected: the option index

    bool operator==(const DomWrite& other) const = default;
};

} // namespace brackenly
