#include "app/statusbar/probe.h"

#include <nlohmann/json.hpp>

#include "app/shell/app_delegate.h"

namespace dralmik {

// The state text comes back as the menu reads it (platform/gtk/menu_label.h): every run of white
// space (the characters GLib takes for it) is one space, and the text is cut at 1024 UTF-16
// units, never inside a surrogate pair. With no two white-space characters in a row, that many
// units hold hundreds of characters more than the menu's line shows, so the line reads exactly
// as it would from the whole text; a text that was empty is still empty, and one that was not
// is not. A page's state of megabytes is then never copied out of the page: not into the
// engine's answer, nor into the conversions after it.
const char* const kPageStateProbe =
    "(function () {\n"
    "  function shown(id) { var e = document.getElementById(id); return !!e && e.offsetParent !== null; }\n"
    "  function line(text) {\n"
    "    var space = /[\\t\\n\\f\\r \\u00a0\\u1680\\u2000-\\u200a\\u2028\\u2029\\u202f\\u205f\\u3000]+/g, out = \"\", at = 0, run;\n"
    "    while (out.length <= 1024) {\n"
    "      run = space.exec(text);\n"
    "      out += text.slice(at, run ? run.index : text.length).slice(0, 1025 - out.length);\n"
    "      if (!run) break;\n"
    "      out += \" \";\n"
    "      at = space.lastIndex;\n"
    "    }\n"
    "    if (out.length > 1024) out = out.slice(0, /[\\ud800-\\udbff]/.test(out.charAt(1023)) ? 1023 : 1024);\n"
    "    return out;\n"
    "  }\n"
    "  var pill = document.getElementById(\"state\") || document.getElementById(\"running\");\n"
    "  return JSON.stringify({ state: pill && !pill.hidden ? line(pill.textContent) : \"\", disconnect: "
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
    // Apart from the page's scripts: a page cannot make the probe answer with more than it reads.
    webView->readPage(kPageStateProbe, [weakSelf](std::optional<std::string> value) {
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
