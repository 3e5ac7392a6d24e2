#include "frmabout.h"

#include <QDialogButtonBox>
#include <QLabel>
#include <QVBoxLayout>

namespace brackenly {

frmAbout::frmAbout(QWidget* parent, const QString& dataFolder) : QDialog(parent)
{
    setObjectName(QStringLiteral("frmAbout"));
    setWindowTitle(tr("About Brackenly"));
    auto* layout = new QVBoxLayout(this);
    QString text = tr("<b>Brackenly</b> version 1.1<br>"
                      "A web browser that saves the images of a page and of the pages one "
                      "link away, fills recorded web forms back in, and switches the HTTP proxy.");
    if (!dataFolder.isEmpty())
        text += tr("<br><br>Record sessions, settings and the proxy list are kept in:<br>%1")
                    .arg(dataFolder.toHtmlEscaped());
    auto* label = new QLabel(text, this);
    label->setObjectName(QStringLiteral("lblAbout"));
    label->setWordWrap(true);
    label->setTextInteractionFlags(Qt::TextSelectableByMouse);
    layout->addWidget(label);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok, this);
    buttons->setObjectName(QStringLiteral("cmdOK"));
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    layout->addWidget(buttons);
}

} // namespace brackenly
