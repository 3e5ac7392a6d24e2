#include "commandline.h"

#include <QCommandLineParser>
#include <QCoreApplication>

namespace brackenly {

namespace {

const QCommandLineOption kSaveImages(QStringLiteral("save-images"),
                                     QStringLiteral("Saves the images of the page at <url>, its "
                                                    "frames and the pages one link away, "
                                                    "then exits."),
                                     QStringLiteral("url"));
const QCommandLineOption kImageFolder(QStringLiteral("image-folder"),
                                      QStringLiteral("Saves them into <dir> (made if missing) "
                                                     "instead of the preferred image folder."),
                                      QStringLiteral("dir"));
const QCommandLineOption kManifest(QStringLiteral("manifest"),
                                   QStringLiteral("Writes one JSON line per image met to <file>."),
                                   QStringLiteral("file"));
const QCommandLineOption kModernImages(QStringLiteral("modern-images"),
                                       QStringLiteral("Also saves lazy-loaded, srcset, <picture> "
                                                      "and CSS background images."));
const QCommandLineOption kJobs(QStringLiteral("jobs"),
                               QStringLiteral("Follows the page's links in <n> windows at once "
                                              "(default 1)."),
                               QStringLiteral("n"), QStringLiteral("1"));

// --help brings -h, -? and --help-all; --version brings -v.
void addOptions(QCommandLineParser& parser)
{
    parser.setApplicationDescription(
        QStringLiteral("A web browser. With --save-images it saves a page's images without "
                       "showing a window and exits: 0 when the run completed."));
    parser.addHelpOption();
    parser.addVersionOption();
    parser.addOption(kSaveImages);
    parser.addOption(kImageFolder);
    parser.addOption(kManifest);
    parser.addOption(kModernImages);
    parser.addOption(kJobs);
}

bool namesOwnOption(const QStringList& arguments)
{
    static const QStringList names{QStringLiteral("save-images"), QStringLiteral("image-folder"),
                                   QStringLiteral("manifest"),    QStringLiteral("help"),
                                   QStringLiteral("help-all"),    QStringLiteral("h"),
                                   QStringLiteral("?"),           QStringLiteral("version"),
                                   QStringLiteral("v"),           QStringLiteral("modern-images"),
                                   QStringLiteral("jobs")};
    for (qsizetype i = 1; i < arguments.size(); ++i) {
        const QString& argument = arguments.at(i);
        if (!argument.startsWith(u'-'))
            continue;
        QString name = argument.mid(argument.startsWith(QLatin1String("--")) ? 2 : 1);
        name = name.section(u'=', 0, 0);
        if (names.contains(name))
            return true;
    }
    return false;
}

} // namespace

CommandLine ParseCommandLine(const QStringList& arguments)
{
    CommandLine result;
    if (!namesOwnOption(arguments))
        return result;
    QCommandLineParser parser;
    addOptions(parser);
    result.action = CommandLine::Action::UsageError;
    if (!parser.parse(arguments)) {
        result.error = parser.errorText();
    } else if (parser.isSet(QStringLiteral("help")) || parser.isSet(QStringLiteral("help-all"))) {
        result.action = CommandLine::Action::Help;
    } else if (parser.isSet(QStringLiteral("version"))) {
        result.action = CommandLine::Action::Version;
    } else if (!parser.positionalArguments().isEmpty()) {
        result.error = QStringLiteral("Unexpected argument '%1'.")
                           .arg(parser.positionalArguments().constFirst());
    } else if (!parser.isSet(kSaveImages)) {
        result.error = QStringLiteral(
            "--image-folder, --manifest, --modern-images and --jobs need --save-images.");
    } else if (parser.value(kSaveImages).trimmed().isEmpty()) {
        result.error = QStringLiteral("--save-images needs an address.");
    } else {
        result.action = CommandLine::Action::SaveImages;
        result.url = parser.value(kSaveImages).trimmed();
        result.imageFolder = parser.value(kImageFolder);
        result.manifest = parser.value(kManifest);
        result.modernImages = parser.isSet(kModernImages);
        bool whole = false;
        result.jobs = parser.value(kJobs).toInt(&whole);
        if (parser.isSet(kImageFolder) && result.imageFolder.isEmpty())
            result.error = QStringLiteral("--image-folder needs a folder.");
        else if (parser.isSet(kManifest) && result.manifest.isEmpty())
            result.error = QStringLiteral("--manifest needs a file.");
        else if (!whole || result.jobs < 1)
            result.error = QStringLiteral("--jobs needs a whole number of windows, 1 or more.");
        if (!result.error.isEmpty())
            result.action = CommandLine::Action::UsageError;
    }
    return result;
}

QString CommandLineHelp()
{
    QCommandLineParser parser;
    addOptions(parser);
    return parser.helpText();
}

} // namespace brackenly
