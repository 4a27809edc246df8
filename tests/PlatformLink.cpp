// A program that uses the window layer and calls nothing of a backend of its own: it links
// against kavrel_platform alone, whichever backend the switch names.
#include "platform/Forms.h"

int main() {
    RECT workArea{};
    return SystemParametersInfoA(SPI_GETWORKAREA, 0, &workArea, 0) && workArea.right > workArea.left
               ? 0
               : 1;
}
