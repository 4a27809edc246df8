#include "platform/Capture.h"
#include "platform/com/ComClasses.h"

// No capture device yet.
HRESULT CreateCaptureObject(void**) {
    return DSERR_NODRIVER;
}
