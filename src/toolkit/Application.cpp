#include "Application.h"

namespace toolkit {

namespace {
Backend *gBackend = nullptr;
}

void setBackend(Backend *backend) { gBackend = backend; }

Backend *backend() { return gBackend; }

std::unique_ptr<SavePanel> savePanel()
{
    return gBackend ? gBackend->makeSavePanel() : nullptr;
}

void beep()
{
    if (gBackend)
        gBackend->beep();
}

} // namespace toolkit
