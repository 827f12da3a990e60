#pragma once
// Notices from the application outside its windows, shown by the system's notification
// service. The core relies on: post() shows the notice once, and the notice's action runs on
// the main thread when the user clicks the notice; when no service takes the notice, its
// undelivered action runs instead, on the main thread.
#include <functional>
#include <string>

namespace dralmik {

struct Notice {
    std::string title;
    std::string body;
    std::function<void()> action;
    std::function<void()> undelivered;
};

class Notifications {
public:
    virtual ~Notifications() = default;
    virtual void post(const Notice& notice) = 0;
};

}  // namespace dralmik
