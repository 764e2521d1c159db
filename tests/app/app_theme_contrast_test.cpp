// The calculator's real window under one theme per run (ZVD_THEME_CASE names the row of
// THEMES; CTest runs every row): with both counts typed and both results computed, every
// text of the window stands out from what is right behind it by the WCAG 2 ratio 4.5:1.
#include <glib/gstdio.h>

#include <cmath>
#include <fstream>
#include <map>

#include "runtime/gadgets/button_gadget.h"
#include "tests/support/app_driver.h"

const char* app_image_dir = ZVD_TEST_IMAGE_DIR;

namespace {

using namespace zvd_test;

// A theme chosen through GTK_THEME, or through the user's settings file with GTK_THEME
// unset, or switched to dark while the window is open (as a desktop's dark style does).
struct ThemeCase {
  const char *name, *gtk_theme, *settings;
  bool dark_later = false;
};
constexpr ThemeCase THEMES[] = {
    {"default", nullptr, nullptr},
    {"Adwaita-dark", "Adwaita:dark", nullptr},
    {"HighContrast", "HighContrast", nullptr},
    {"HighContrastInverse", "HighContrastInverse", nullptr},
    {"settings-prefer-dark", nullptr, "gtk-application-prefer-dark-theme=1\n"},
    {"settings-HighContrastInverse", nullptr, "gtk-theme-name=HighContrastInverse\n"},
    {"dark-while-open", nullptr, nullptr, true},
};

double luminance(long rgb) {
  auto linear = [](long v) {
    const double c = v / 255.0;
    return c <= 0.03928 ? c / 12.92 : std::pow((c + 0.055) / 1.055, 2.4);
  };
  return 0.2126 * linear(rgb >> 16) + 0.7152 * linear((rgb >> 8) & 0xFF) + 0.0722 * linear(rgb & 0xFF);
}

// The contrast of a region of the screenshot: its most frequent colour is the background,
// the pixel farthest from it in luminance the text.
double contrast(GdkPixbuf* shot, GdkRectangle r) {
  std::map<long, int> counts;
  for (int y = r.y; y < r.y + r.height; ++y)
    for (int x = r.x; x < r.x + r.width; ++x) {
      const guchar* p = gdk_pixbuf_read_pixels(shot) + y * gdk_pixbuf_get_rowstride(shot) +
                        x * gdk_pixbuf_get_n_channels(shot);
      ++counts[(long{p[0]} << 16) | (long{p[1]} << 8) | long{p[2]}];
    }
  if (counts.empty()) return 0;
  const double back = luminance(
      std::max_element(counts.begin(), counts.end(), [](auto& a, auto& b) { return a.second < b.second; })->first);
  double text = back;
  for (auto [rgb, n] : counts)
    if (std::abs(luminance(rgb) - back) > std::abs(text - back)) text = luminance(rgb);
  return (std::max(back, text) + 0.05) / (std::min(back, text) + 0.05);
}

class ThemeContrast : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    const char* wanted = g_getenv("ZVD_THEME_CASE");
    for (const ThemeCase& c : THEMES)
      if (std::string(wanted ? wanted : "default") == c.name) theme = &c;
    ASSERT_NE(theme, nullptr) << "no theme case " << wanted;
    // A private configuration directory, so that only the case's settings apply; without
    // animations each change is drawn at once, never through an intermediate frame.
    gchar* dir = g_dir_make_tmp("zvd-theme-XXXXXX", nullptr);
    config = dir;
    g_free(dir);
    g_mkdir((config + "/gtk-3.0").c_str(), 0700);
    std::ofstream(config + "/gtk-3.0/settings.ini")
        << "[Settings]\ngtk-enable-animations=0\n" << (theme->settings ? theme->settings : "");
    g_setenv("XDG_CONFIG_HOME", config.c_str(), TRUE);
    if (theme->gtk_theme) g_setenv("GTK_THEME", theme->gtk_theme, TRUE);
    else g_unsetenv("GTK_THEME");
    start_app();
  }
  static void TearDownTestSuite() {
    app_shutdown();
    g_remove((config + "/gtk-3.0/settings.ini").c_str());
    g_rmdir((config + "/gtk-3.0").c_str());
    g_rmdir(config.c_str());
  }
  static inline const ThemeCase* theme = nullptr;
  static inline std::string config;
};

TEST_F(ThemeContrast, EveryTextStandsOutFromItsBackground) {
  SCOPED_TRACE(theme->name);
  focus_window(main_toplevel());
  if (theme->dark_later) g_object_set(gtk_settings_get_default(), "gtk-application-prefer-dark-theme", TRUE, nullptr);
  type_into(app_after_count_field, "29");
  type_into(app_before_count_field, "7");
  for (int64_t button : {app_after_button, int64_t{APP_BEFORE_BUTTON}}) click(widget_of(button));
  ASSERT_TRUE(pump_until([] {
    handle_events();
    return !text_of(app_after_result_field).empty() && !text_of(app_before_result_field).empty();
  })) << "the push buttons wrote nothing";

  // Every text gadget, field, chooser entry and button label, from the gadget registry (a
  // gadget added later is measured too), inset to keep frames out.
  std::vector<std::pair<std::string, GdkRectangle>> regions;
  obj_enum_begin(gadget_registry());
  ObjectValue value = 0;
  while (auto* record = static_cast<GadgetRecord*>(obj_enum_next(gadget_registry(), &value))) {
    GtkWidget* widget = GTK_WIDGET(record->widget);
    const int type = record->ops->type;
    if (type == GADGET_COMBOBOX) widget = gtk_bin_get_child(GTK_BIN(widget));
    else if (type != GADGET_TEXT && type != GADGET_EDITOR && type != GADGET_BUTTON) continue;
    const int inset = type == GADGET_TEXT ? 0 : type == GADGET_EDITOR ? 1 : 3;
    GdkRectangle r{0, 0, gtk_widget_get_allocated_width(widget), gtk_widget_get_allocated_height(widget)};
    gtk_widget_translate_coordinates(widget, main_toplevel(), 0, 0, &r.x, &r.y);
    regions.push_back(
        {"\"" + text_of(value) + "\"", {r.x + inset, r.y + inset, r.width - 2 * inset, r.height - 2 * inset}});
  }
  ASSERT_EQ(regions.size(), 17u);  // 8 labels, 5 fields, 2 chooser entries, 2 buttons
  // The window is drawn after the results are set: wait until the screen shows it.
  std::vector<double> ratios(regions.size());
  pump_until([&] {
    GdkPixbuf* shot = gdk_pixbuf_get_from_window(gtk_widget_get_window(main_toplevel()), 0, 0, 790, 400);
    if (!shot) return false;
    for (size_t i = 0; i < regions.size(); ++i) ratios[i] = contrast(shot, regions[i].second);
    g_object_unref(shot);
    return *std::min_element(ratios.begin(), ratios.end()) >= COLOR_READABLE_CONTRAST;
  });
  for (size_t i = 0; i < regions.size(); ++i) EXPECT_GE(ratios[i], COLOR_READABLE_CONTRAST) << regions[i].first;
}

}  // namespace
