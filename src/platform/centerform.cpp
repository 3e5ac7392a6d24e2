#include "centerform.h"

#include <QGuiApplication>
#include <QScreen>
#include <QWidget>

namespace brackenly {

void CenterForm(QWidget* form)
{
    if (!form)
        return;
    QScreen* screen = form->screen() ? form->screen() : QGuiApplication::primaryScreen();
    if (!screen)
        return;
    const QRect area = screen->geometry();
    const QSize size = form->frameGeometry().size();
    form->move(area.x() + (area.width() - size.width()) / 2,
               area.y() + (area.height() - size.height()) / 2);
}

} // namespace brackenly
