#include "wizard/run.h"

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int)
{
    return WizardMain(instance);
}
