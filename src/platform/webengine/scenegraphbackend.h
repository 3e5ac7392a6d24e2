#pragma once

namespace brackenly {

// Picks how Qt Quick draws the web views, before the first one is made (after the
// application object). Where OpenGL is only a software rasterizer (no GPU: a virtual
// machine, a remote or virtual display), every repaint of a window holding a web view would
// be composed through it, which costs a whole frame; Qt Quick's own software renderer paints
// the same for a fraction. A backend the user chose (QT_QUICK_BACKEND) is kept.
void ChooseSceneGraphBackend();

} // namespace brackenly
