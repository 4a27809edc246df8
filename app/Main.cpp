// The Linux entry: the start-up steps of the units, then the program as on its own desktop.
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
