#include "app/gateway/status_page.h"

#include "app/shell/app_delegate.h"
#include "common/fail.h"

namespace dralmik {

namespace {

constexpr std::string_view kHead =
    "<!doctype html><html><head><meta charset=\"utf-8\">\n"
    "<style>\n"
    "  :root { color-scheme: dark; --bg: #0b1222; --text: #e8ecf6; --muted: #94a3b8; --accent: #3b82f6; --on: "
    "#ffffff; }\n"
    "  body { margin: 0; height: 100vh; display: flex; align-items: center; justify-content: center; text-align: "
    "center;\n"
    "         background: var(--bg); color: var(--text); font: 13px/1.5 -apple-system, sans-serif; }\n"
    "  div { max-width: 380px; padding: 24px; }\n"
    "  h1 { font-size: 18px; margin: 0 0 6px; }\n"
    "  p { color: var(--muted); margin: 0 0 16px; overflow-wrap: anywhere; }\n"
    "  .button { display: inline-block; background: var(--accent); color: var(--on); text-decoration: none;\n"
    "            font-weight: 600; padding: 7px 16px; border-radius: 10px; }\n"
    "</style></head>\n"
    "<body><div><h1>";

constexpr std::string_view kRetry = "<p><a class=\"button\" href=\"dralmik://retry\">Try again</a></p>";

void replaceAll(std::string& text, std::string_view from, std::string_view to) {
    std::string result;
    result.reserve(text.size());
    size_t start = 0;
    for (size_t found; (found = text.find(from, start)) != std::string::npos; start = found + from.size()) {
        result.append(text, start, found - start).append(to);
    }
    result.append(text, start);
    text = std::move(result);
}

}  // namespace

std::string escapeMarkup(std::string_view text) {
    std::string escaped(text);
    replaceAll(escaped, "&", "&amp;");
    replaceAll(escaped, "<", "&lt;");
    replaceAll(escaped, ">", "&gt;");
    return escaped;
}

std::string statusPageDocument(std::string_view title, std::string_view detail, bool canRetry) {
    std::string document(kHead);
    document += escapeMarkup(title);
    document += "</h1><p>";
    document += escapeMarkup(detail);
    document += "</p>";
    if (canRetry) document += kRetry;
    document += "</div></body></html>";
    return document;
}

void AppDelegate::showMessage(const std::string& title, const std::string& detail, bool canRetry) {
    statusPage_ = StatusPage{title, detail, canRetry};
    // A failure also goes to the session's log, where it outlives the page that shows it.
    if (canRetry) logLine(title + ": " + detail);
    webView->loadHTMLString(statusPageDocument(title, detail, canRetry));
}

}  // namespace dralmik
