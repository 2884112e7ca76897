#include "PhoneCoreResources.h"

#include "program_services.h"

void AddPhoneCoreDialogs()
{
    auto& templates = kivo::dialog_templates();
    HINSTANCE module = AfxGetResourceHandle();
    if (templates.find(module, IDD_PHONE_MESSAGE))
        return;
    // The skin's "panel" "rect" places and sizes the page when it opens.
    templates.add(module, { IDD_PHONE_MESSAGE, WS_POPUP, 0, { 0, 0, 480, 272 }, u"", {}, true });
}
