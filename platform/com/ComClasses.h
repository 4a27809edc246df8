// The classes COM hands out, each made by the part of the layer that owns it: the display
// object by the display layer, the capture device by the backend the program links.
#pragma once

#include "platform/Ole32.h"

// Each sets *object (already null) and returns S_OK, or returns a failure and leaves it null.
HRESULT CreateDisplayObject(void** object);
HRESULT CreateCaptureObject(void** object);
