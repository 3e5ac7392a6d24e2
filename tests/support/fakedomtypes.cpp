#include "fakedomtypes.h"

namespace brackenly {

const char* domCallName(DomCall call)
{
    switch (call) {
    case DomCall::Url:
        return "url";
    case DomCall::FrameCount:
        return "frameCount";
    case DomCall::Frame:
        return "frame";
    case DomCall::Images:
        return "images";
    case DomCall::Links:
        return "links";
    case DomCall::Forms:
        return "forms";
    case DomCall::ElementsByTagName:
        return "elementsByTagName";
    case DomCall::Markup:
        return "markup";
    case DomCall::SetValue:
        return "setValue";
    case DomCall::SetChecked:
        return "setChecked";
    case DomCall::SetOptionSelected:
        return "setOptionSelected";
    case DomCall::Click:
        return "click";
    case DomCall::Flush:
        return "flush";
    }
    return "?";
}

} // namespace brackenly
