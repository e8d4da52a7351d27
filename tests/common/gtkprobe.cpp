// Loaded into a program under test through GTK_MODULES: every tenth of a
// second it writes what the program's shown windows hold to the file that
// KELM_GTK_PROBE names (written aside and renamed, only when it changed), so
// a test reads the words and pictures of the real windows, native dialogs
// included, as the toolkit shows them. One line per window or widget, tab
// separated (gtkprobe.h reads them):
//   window <title> <x> <y> <width> <height>
//   button <the texts of its labels> <x> <y> <width> <height> <sensitive>
//   label  <text> <x> <y> <width> <height> 1
//   image  <icon name, or empty> <x> <y> <width> <height> 1
// Positions are on the screen; only widgets that are mapped are listed.
#include <gtk/gtk.h>

#include <cstdio>
#include <cstdlib>
#include <string>

namespace {

std::string g_file;
std::string g_last;

// Tabs and line ends inside a text would break its line.
std::string Flat(const char* text)
{
    std::string out = text ? text : "";
    for (char& c : out)
        if (c == '\t' || c == '\n' || c == '\r')
            c = ' ';
    return out;
}

struct Origin {
    int x = 0;
    int y = 0;
};

void AddLine(std::string& out, const char* kind, const std::string& text, GtkWidget* widget, GtkWidget* top,
             Origin origin)
{
    int x = 0, y = 0;
    gtk_widget_translate_coordinates(widget, top, 0, 0, &x, &y);
    GtkAllocation box;
    gtk_widget_get_allocation(widget, &box);
    out += std::string(kind) + "\t" + text + "\t" + std::to_string(origin.x + x) + "\t" + std::to_string(origin.y + y) +
           "\t" + std::to_string(box.width) + "\t" + std::to_string(box.height) + "\t" +
           (gtk_widget_is_sensitive(widget) ? "1" : "0") + "\n";
}

void CollectLabels(GtkWidget* widget, std::string& text)
{
    if (!gtk_widget_get_mapped(widget))
        return;
    if (GTK_IS_LABEL(widget)) {
        if (!text.empty())
            text += " ";
        text += Flat(gtk_label_get_text(GTK_LABEL(widget)));
        return;
    }
    if (GTK_IS_CONTAINER(widget)) {
        GList* children = gtk_container_get_children(GTK_CONTAINER(widget));
        for (GList* child = children; child; child = child->next)
            CollectLabels(GTK_WIDGET(child->data), text);
        g_list_free(children);
    }
}

void Walk(GtkWidget* widget, GtkWidget* top, Origin origin, std::string& out)
{
    if (!gtk_widget_get_mapped(widget))
        return;
    if (GTK_IS_BUTTON(widget)) {
        std::string text;
        CollectLabels(widget, text);
        AddLine(out, "button", text, widget, top, origin);
        return;
    }
    if (GTK_IS_LABEL(widget)) {
        AddLine(out, "label", Flat(gtk_label_get_text(GTK_LABEL(widget))), widget, top, origin);
        return;
    }
    if (GTK_IS_IMAGE(widget)) {
        const gchar* name = nullptr;
        if (gtk_image_get_storage_type(GTK_IMAGE(widget)) == GTK_IMAGE_ICON_NAME)
            gtk_image_get_icon_name(GTK_IMAGE(widget), &name, nullptr);
        AddLine(out, "image", Flat(name), widget, top, origin);
        return;
    }
    if (GTK_IS_CONTAINER(widget)) {
        // forall: the internal children of dialogs (their button boxes) too.
        GList* children = nullptr;
        gtk_container_forall(
            GTK_CONTAINER(widget), [](GtkWidget* child, gpointer list) {
                *static_cast<GList**>(list) = g_list_append(*static_cast<GList**>(list), child);
            },
            &children);
        for (GList* child = children; child; child = child->next)
            Walk(GTK_WIDGET(child->data), top, origin, out);
        g_list_free(children);
    }
}

gboolean Write(gpointer)
{
    std::string out;
    GList* tops = gtk_window_list_toplevels();
    for (GList* item = tops; item; item = item->next) {
        GtkWidget* top = GTK_WIDGET(item->data);
        GdkWindow* window = gtk_widget_get_window(top);
        if (!gtk_widget_get_mapped(top) || !window)
            continue;
        Origin origin;
        gdk_window_get_origin(window, &origin.x, &origin.y);
        GtkAllocation box;
        gtk_widget_get_allocation(top, &box);
        out += "window\t" + Flat(gtk_window_get_title(GTK_WINDOW(top))) + "\t" + std::to_string(origin.x) + "\t" +
               std::to_string(origin.y) + "\t" + std::to_string(box.width) + "\t" + std::to_string(box.height) +
               "\t1\n";
        Walk(top, top, origin, out);
    }
    g_list_free(tops);
    if (out != g_last) {
        const std::string aside = g_file + ".new";
        if (FILE* f = std::fopen(aside.c_str(), "w")) {
            std::fwrite(out.data(), 1, out.size(), f);
            std::fclose(f);
            std::rename(aside.c_str(), g_file.c_str());
            g_last = out;
        }
    }
    return G_SOURCE_CONTINUE;
}

} // namespace

extern "C" G_MODULE_EXPORT void gtk_module_init(gint*, gchar***)
{
    const char* file = std::getenv("KELM_GTK_PROBE");
    if (!file || !*file)
        return;
    g_file = file;
    std::remove(file); // what a program before this one showed
    g_timeout_add(100, Write, nullptr);
}
