#pragma once
// Alerts shown as sheets on a window. The core relies on: beginSheet() returns at once; the
// completion runs once on the main thread with the index of the button chosen (0 for the first,
// the default button), or with no index when the alert ended any other way.
#include <cstddef>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace dralmik {

class Window;

struct AlertSpec {
    std::string messageText;
    std::vector<std::string> buttons;  // the first is the default button
};

class Alerts {
public:
    virtual ~Alerts() = default;
    virtual void beginSheet(Window& window, const AlertSpec& alert,
                            std::function<void(std::optional<std::size_t> button)> completion) = 0;
};

}  // namespace dralmik
