// The virtual backend's window services, for tests: what the system message box was asked to
// show is recorded instead of shown.
#pragma once

#include <string>
#include <vector>

struct RecordedMessageBox {
    std::string text;
    bool defaultCaption;
    unsigned style;
};

// Every message box shown since the last call, oldest first; the record is then cleared.
std::vector<RecordedMessageBox> TakeRecordedMessageBoxes();
