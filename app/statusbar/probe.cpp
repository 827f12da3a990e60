#include "app/statusbar/probe.h"

#include <nlohmann/json.hpp>

#include "app/shell/app_delegate.h"

namespace dralmik {

const char* const kPageStateProbe =
    "(function () {\n"
    "  function shown(id) { var e = document.getElementById(id); return !!e && e.offsetParent !== null; }\n"
    "  var pill = document.getElementById(\"state\") || document.getElementById(\"running\");\n"
    "  return JSON.stringify({ state: pill && !pill.hidden ? pill.textContent : \"\", disconnect: "
    "shown(\"forget\"), stop: shown(\"stop\") });\n"
    "})()";

const char* const kPageRefreshHook = "window.dralmikRefresh && window.dralmikRefresh()";

std::optional<ProbeAnswer> readProbeAnswer(const std::string& json) {
    nlohmann::json value = nlohmann::json::parse(json, nullptr, /*allow_exceptions=*/false);
    if (!value.is_object()) return std::nullopt;

    ProbeAnswer answer;
    if (auto state = value.find("state"); state != value.end() && state->is_string()) {
        answer.title = state->get<std::string>();
    }
    if (answer.title.empty()) answer.title = "Dralmik LLM Gateway";
    auto isTrue = [&value](const char* member) {
        auto found = value.find(member);
        return found != value.end() && found->is_boolean() && found->get<bool>();
    };
    answer.disconnect = isTrue("disconnect");
    answer.stop = isTrue("stop");
    return answer;
}

void AppDelegate::refreshMenu() {
    if (!pageShown) {
        stateLine->setTitle("Starting");
        disconnectItem->setHidden(true);
        stopItem->setEnabled(false);
        return;
    }
    std::weak_ptr<AppDelegate> weakSelf = weak_from_this();
    webView->evaluateJavaScript(kPageStateProbe, [weakSelf](std::optional<std::string> value) {
        if (auto self = weakSelf.lock()) self->applyProbeAnswer(value);
    });
}

void AppDelegate::applyProbeAnswer(const std::optional<std::string>& value) {
    if (!value) return;
    std::optional<ProbeAnswer> answer = readProbeAnswer(*value);
    if (!answer) return;
    stateLine->setTitle(answer->title);
    disconnectItem->setHidden(!answer->disconnect);
    stopItem->setEnabled(answer->stop);
}

void AppDelegate::menuWillOpen() {
    if (!pageShown) return;
    webView->evaluateJavaScript(kPageRefreshHook, nullptr);
}

}  // namespace dralmik
