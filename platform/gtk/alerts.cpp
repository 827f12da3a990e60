#include "platform/gtk/alerts.h"

#include <gtk/gtk.h>

#include "platform/gtk/window.h"

namespace dralmik::gtk {

void Alerts::beginSheet(dralmik::Window& window, const AlertSpec& alert,
                        std::function<void(std::optional<std::size_t>)> completion) {
    auto* parent = dynamic_cast<Window*>(&window);
    GtkWidget* dialog = gtk_message_dialog_new(parent ? parent->gtkWindow() : nullptr,
                                               GtkDialogFlags(GTK_DIALOG_MODAL | GTK_DIALOG_DESTROY_WITH_PARENT),
                                               GTK_MESSAGE_OTHER, GTK_BUTTONS_NONE, "%s", alert.messageText.c_str());
    std::vector<std::string> buttons = alert.buttons;
    if (buttons.empty()) buttons.push_back("OK");
    // GTK lays buttons out from the left; the default (first) button goes rightmost. Response
    // ids are the buttons' indexes; GTK's own (Escape, the close button) are negative.
    for (size_t i = buttons.size(); i-- > 0;) gtk_dialog_add_button(GTK_DIALOG(dialog), buttons[i].c_str(), static_cast<int>(i));
    gtk_dialog_set_default_response(GTK_DIALOG(dialog), 0);

    using Completion = std::function<void(std::optional<std::size_t>)>;
    g_signal_connect_data(
        dialog, "response",
        G_CALLBACK(+[](GtkDialog* d, int response, gpointer data) {
            auto* pending = static_cast<Completion*>(data);
            Completion done = std::move(*pending);
            *pending = nullptr;
            gtk_widget_destroy(GTK_WIDGET(d));  // frees the pending completion with the handler
            if (done) done(response >= 0 ? std::optional<std::size_t>(response) : std::nullopt);
        }),
        new Completion(std::move(completion)), [](gpointer data, GClosure*) { delete static_cast<Completion*>(data); },
        GConnectFlags(0));

    // A sheet belongs to its window: while the window is hidden the dialog waits for it.
    if (!parent || parent->isVisible()) {
        gtk_widget_show(dialog);
    } else {
        g_signal_connect_object(parent->gtkWindow(), "map", G_CALLBACK(+[](GtkWidget*, gpointer d) { gtk_widget_show(GTK_WIDGET(d)); }),
                                dialog, GConnectFlags(0));
    }
}

}  // namespace dralmik::gtk
