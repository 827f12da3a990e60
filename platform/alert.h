#pragma once
// Alerts shown as sheets on a window. The core relies on: beginSheet() returns at once; the
// completion runs once on the main thread with the response code, 1000 for the first button,
// 1001 for the second, and so on.
#include <functional>
#include <string>
#include <vector>

namespace dralmik {

class Window;

inline constexpr long kAlertFirstButtonReturn = 1000;

struct AlertSpec {
    std::string messageText;
    std::vector<std::string> buttons;  // the first is the default button
};

class Alerts {
public:
    virtual ~Alerts() = default;
    virtual void beginSheet(Window& window, const AlertSpec& alert, std::function<void(long response)> completion) = 0;
};

}  // namespace dralmik
