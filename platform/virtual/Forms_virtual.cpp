#include "VirtualForms.h"
#include "platform/Forms.h"

namespace {
std::vector<RecordedMessageBox> Recorded;
}

int MessageBoxA(void*, const char* text, const char* caption, UINT style) {
    Recorded.push_back({text == nullptr ? std::string() : text, caption == nullptr, style});
    return IDOK;
}

std::vector<RecordedMessageBox> TakeRecordedMessageBoxes() {
    std::vector<RecordedMessageBox> taken;
    taken.swap(Recorded);
    return taken;
}
