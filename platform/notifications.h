#pragma once
// Notices from the application outside its windows, shown by the system's notification
// service. The core relies on: post() shows the notice once, and the notice's action runs on
// the main thread when the user clicks the notice; when no service takes the notice, its
// undelivered action runs instead, on the main thread. A posted notice can be withdrawn: it
// leaves the screen (and the service's list) if it is still there, and neither of its actions
// runs after that.
#include <functional>
#include <memory>
#include <string>

namespace dralmik {

struct Notice {
    std::string title;
    std::string body;
    std::function<void()> action;
    std::function<void()> undelivered;
};

class PostedNotice {
public:
    virtual ~PostedNotice() = default;
    virtual void withdraw() = 0;
};

class Notifications {
public:
    virtual ~Notifications() = default;
    virtual std::shared_ptr<PostedNotice> post(const Notice& notice) = 0;
};

}  // namespace dralmik
