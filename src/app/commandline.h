#pragma once

#include <QString>
#include <QStringList>

namespace brackenly {

// What the program's arguments ask for.
struct CommandLine
{
    enum class Action
    {
        Browse,     // none of the program's own options: the browser starts as always
        Help,       // --help
        Version,    // --version
        SaveImages, // --save-images URL [--image-folder DIR] [--manifest FILE] [--modern-images]
                    // [--jobs N]
        UsageError,
    };

    Action action = Action::Browse;
    QString url;
    QString imageFolder; // "" for the one in the settings file
    QString manifest;    // "" for none
    int jobs = 1;        // capture windows following links at once
    QString error;       // for UsageError: what is wrong, one line
    bool modernImages = false;
};

// Reads the arguments (the program's name first). Arguments that name none of the program's
// own options are left to Qt, as they always were.
CommandLine ParseCommandLine(const QStringList& arguments);

// --help's text; needs the application object.
QString CommandLineHelp();

} // namespace brackenly
