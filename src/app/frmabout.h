#pragma once

#include <QDialog>

namespace brackenly {

class frmAbout : public QDialog
{
    Q_OBJECT
public:
    explicit frmAbout(QWidget* parent = nullptr, const QString& dataFolder = QString());
};

} // namespace brackenly
