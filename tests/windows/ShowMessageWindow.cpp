// The error message window alone, on the real desktop, until it is answered: the Linux and the
// Windows build draw it from the same code, and tests/windows/compare_builds.sh compares their
// pictures of it pixel for pixel.
#include "Kernel.h"
#include "Toknosoobzheniy.h"

int main() {
    StartKernelUnit(GetCommandLineA());
    ShowMessageWindow(nullptr, u"Не создаётся объект DirectDraw", u"Ошибка", 1);
    FinishKernelUnit();
    return 0;
}
