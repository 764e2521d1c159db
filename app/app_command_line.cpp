// SPDX-License-Identifier: MIT
// GLib option parsing with the toolkit's option group, run before the toolkit opens a
// display, so --help, --version and a wrong option answer over ssh or in a build log.
#include "app/app_command_line.h"

#include <gtk/gtk.h>

#include <cstdio>
#include <cstring>
#include <memory>

#include "app/app.h"
#include "app/app_text.h"
#include "runtime/gui/toolkit.h"

namespace {

gboolean g_show_help = FALSE;
gboolean g_show_version = FALSE;

const GOptionEntry APP_OPTIONS[] = {
    {"help", 'h', 0, G_OPTION_ARG_NONE, &g_show_help, N_("Show the program's and the toolkit's options"), nullptr},
    {"version", 0, 0, G_OPTION_ARG_NONE, &g_show_version, N_("Show the program's name and version"), nullptr},
    {},
};

// The name GLib gave the program from argv[0] and the class the toolkit derived from it,
// noted after the toolkit group's pre-parse hook and before any option is read.
const char* g_default_name = nullptr;
char* g_default_class = nullptr;

gboolean note_default_identity(GOptionContext*, GOptionGroup*, gpointer, GError**) {
  g_default_name = g_get_prgname();
  g_free(g_default_class);
  g_default_class = g_strdup(gdk_get_program_class());
  return TRUE;
}

// The desktop id replaces the defaults; a --name or --class given by the user stays.
gboolean take_desktop_identity(GOptionContext*, GOptionGroup*, gpointer, GError**) {
  if (g_strcmp0(g_get_prgname(), g_default_name) == 0) g_set_prgname(APP_ID);
  if (g_strcmp0(gdk_get_program_class(), g_default_class) == 0) gdk_set_program_class(APP_ID);
  g_clear_pointer(&g_default_class, g_free);
  return TRUE;
}

// The command as typed, for messages; a program started with no argv[0] gets its file name.
char* command_name(int argc, char** argv) {
  return g_path_get_basename(argc > 0 && argv[0] != nullptr ? argv[0] : "zorivivudidider");
}

// The name of a flag of ours given a value ("--version=3"), up to a "--" that ends the
// options; else null. GLib would take such a flag and drop its value.
const char* flag_given_value(int argc, char** argv) {
  for (int i = 1; i < argc && argv[i] && strcmp(argv[i], "--") != 0; ++i)
    for (const GOptionEntry& entry : APP_OPTIONS)
      if (entry.long_name && g_str_has_prefix(argv[i], "--") && g_str_has_prefix(argv[i] + 2, entry.long_name) &&
          argv[i][2 + strlen(entry.long_name)] == '=')
        return entry.long_name;
  return nullptr;
}

struct ContextFree {
  void operator()(GOptionContext* context) const { g_option_context_free(context); }
};

}  // namespace

int app_read_command_line(int* argc, char*** argv) {
  runtime_set_locale();  // the toolkit's option texts and messages in the user's language
  app_bind_text_domain();
  // Help is our own option so that it lists the toolkit's options too and returns here.
  const std::unique_ptr<GOptionContext, ContextFree> context(g_option_context_new(nullptr));
  g_option_context_set_help_enabled(context.get(), FALSE);
  g_option_context_set_translation_domain(context.get(), APP_TEXT_DOMAIN);  // the summary
  g_option_context_set_summary(context.get(), N_("Find the date a number of days after or before a start date."));
  GOptionGroup* main_group = g_option_group_new(nullptr, nullptr, nullptr, nullptr, nullptr);
  g_option_group_set_translation_domain(main_group, APP_TEXT_DOMAIN);  // the option texts
  g_option_group_add_entries(main_group, APP_OPTIONS);
  g_option_group_set_parse_hooks(main_group, note_default_identity, take_desktop_identity);
  g_option_context_set_main_group(context.get(), main_group);
  g_option_context_add_group(context.get(), gtk_get_option_group(FALSE));

  GError* error = nullptr;
  if (const char* flag = flag_given_value(*argc, *argv))
    g_set_error(&error, G_OPTION_ERROR, G_OPTION_ERROR_BAD_VALUE, _("Option --%s takes no value"), flag);
  if (error || !g_option_context_parse(context.get(), argc, argv, &error)) {
    char* command = command_name(*argc, *argv);
    fprintf(stderr, _("%s: %s\nRun '%s --help' to see a full list of available command line options.\n"), command,
            error->message, command);
    g_free(command);
    g_error_free(error);
    return 1;
  }
  if (g_show_help) {
    // The usage line names the command as typed, not the desktop id taken after parsing.
    char* command = command_name(*argc, *argv);
    g_set_prgname(command);
    g_free(command);
    char* help = g_option_context_get_help(context.get(), FALSE, nullptr);
    fputs(help, stdout);
    g_free(help);
    return 0;
  }
  if (g_show_version) {
    printf("ZoriviVudiDider %s\n", ZVD_VERSION);
    return 0;
  }
  // Opened here, where a failure can be told in our words; the toolkit then takes this display.
  if (!gdk_display_manager_open_display(gdk_display_manager_get(), gdk_get_display_arg_name())) {
    char* command = command_name(*argc, *argv);
    fprintf(stderr, "%s: %s\n", command,
            _("no display found; name one with the DISPLAY or WAYLAND_DISPLAY variable or the --display option"));
    g_free(command);
    return 1;
  }
  return -1;
}

namespace {

// A window shown before there was a default icon keeps none of its own: it is given the
// default explicitly.
gboolean set_icon_when_idle(gpointer window) {
  app_set_window_icon();
  GList* icons = gtk_window_get_default_icon_list();
  if (icons) gtk_window_set_icon_list(GTK_WINDOW(window), icons);
  else if (const gchar* name = gtk_window_get_default_icon_name()) gtk_window_set_icon_name(GTK_WINDOW(window), name);
  g_list_free(icons);
  return G_SOURCE_REMOVE;
}

// The first frame is drawn: the icon follows in the next idle moment.
gboolean on_first_draw(GtkWidget* window, cairo_t*, gpointer) {
  g_signal_handlers_disconnect_by_func(window, reinterpret_cast<gpointer>(on_first_draw), nullptr);
  g_idle_add_full(G_PRIORITY_DEFAULT_IDLE, set_icon_when_idle, g_object_ref(window), g_object_unref);
  return FALSE;
}

}  // namespace

void app_set_window_icon_after_first_frame(void* window) {
  if (window) g_signal_connect(window, "draw", G_CALLBACK(on_first_draw), nullptr);
  else app_set_window_icon();
}

void app_set_window_icon() {
  if (gtk_icon_theme_has_icon(gtk_icon_theme_get_default(), APP_ID)) {
    gtk_window_set_default_icon_name(APP_ID);
    return;
  }
  // Not in the icon theme (an install outside the theme's search path, the build tree):
  // the picture in a picture directory, or where the install put the 128 px icon beside it.
  for (const char* dir : {app_image_dir_first, app_image_dir}) {
    if (dir == nullptr) continue;
    for (const char* relative : {"", "/../icons/hicolor/128x128/apps"}) {
      char* file = g_strdup_printf("%s%s/%s.png", dir, relative, APP_ID);
      GError* error = nullptr;  // asked for, as without it the toolkit prints the failure
      const bool set = gtk_window_set_default_icon_from_file(file, &error);
      g_clear_error(&error);
      g_free(file);
      if (set) return;
    }
  }
}
