// The program's entry on both platforms: the start-up steps of the units, then the program.
#include "Kavrel.h"
#include "Kernel.h"
#include "Preobrazovaniechisel.h"

int main() {
    StartNumberConversionUnit();
    StartKernelUnit(GetCommandLineA());
    const int status =
        WinMain(GetModuleHandleA(nullptr), nullptr, const_cast<char*>(GetCommandLineA()), SW_SHOW);
    FinishKernelUnit();
    return status;
}
