#pragma once

#include <string>

namespace pw {

// Where the core shows a message that stops the user's action. The desktop
// window shows a message box, the command line prints to stderr.
class UserNotifier {
public:
    virtual ~UserNotifier() = default;
    virtual void ShowMessage(const std::string& text) = 0;
};

// Keeps the last message; the default when no front end is attached.
class RecordingNotifier : public UserNotifier {
public:
    void ShowMessage(const std::string& text) override { last = text; ++count; }
    std::string last;
    int count = 0;
};

}  // namespace pw
