#include "scenegraphbackend.h"

#include <QByteArray>
#include <QOffscreenSurface>
#include <QOpenGLContext>
#include <QOpenGLFunctions>
#include <QQuickWindow>
#include <QSGRendererInterface>

namespace brackenly {

namespace {

// The renderer names of Mesa's and other software rasterizers.
bool isSoftwareRasterizer(const QByteArray& renderer)
{
    const QByteArray name = renderer.toLower();
    for (const char* software : {"llvmpipe", "softpipe", "software rasterizer", "swrast", "swr"}) {
        if (name.contains(software))
            return true;
    }
    return false;
}

// True when no hardware OpenGL can be had.
bool openGlIsSoftware()
{
    QOpenGLContext context;
    if (!context.create())
        return true;
    QOffscreenSurface surface;
    surface.setFormat(context.format());
    surface.create();
    if (!surface.isValid() || !context.makeCurrent(&surface))
        return true;
    const auto* renderer =
        reinterpret_cast<const char*>(context.functions()->glGetString(GL_RENDERER));
    const bool software = !renderer || isSoftwareRasterizer(QByteArray(renderer));
    context.doneCurrent();
    return software;
}

} // namespace

void ChooseSceneGraphBackend()
{
    if (!qEnvironmentVariableIsEmpty("QT_QUICK_BACKEND"))
        return;
    if (openGlIsSoftware())
        QQuickWindow::setGraphicsApi(QSGRendererInterface::Software);
}

} // namespace brackenly
